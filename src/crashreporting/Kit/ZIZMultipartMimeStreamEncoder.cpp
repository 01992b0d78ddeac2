#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {
// Files sent whole are report and event packages; anything larger is no file of ours.
constexpr std::size_t kMaxFileBytes = 256 * 1024 * 1024;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}
}  // namespace

std::string ZIZMultipartMimeStreamEncoder::generateBoundary() { return ZIZCreateUUIDString(); }

ZIZMultipartMimeStreamEncoder::ZIZMultipartMimeStreamEncoder(OutputStream& stream,
                                                             std::optional<std::string> boundary)
    : outputStream_(&stream), boundary_(boundary ? std::move(*boundary) : generateBoundary()) {}

std::string ZIZMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(std::string_view boundary) {
  return "multipart/form-data; boundary=" + std::string(boundary);
}

std::string ZIZMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const {
  return contentTypeHTTPHeaderValueWithBoundary(boundary_);
}

std::string ZIZMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const { return std::to_string(length_); }

void ZIZMultipartMimeStreamEncoder::encode(const Block& block) {
  beginEncoding();
  if (block) block(*this);
  endEncoding();
}

void ZIZMultipartMimeStreamEncoder::beginEncoding() {
  length_ = 0;
  failed_ = false;
  open_ = outputStream_->open();  // a stream that does not open fails the first write
  writeText("MIME-Version: 1.0\r\n");
}

void ZIZMultipartMimeStreamEncoder::endEncoding() {
  writeText("--" + boundary_ + "--\r\n");
  if (open_) outputStream_->close();
  open_ = false;
}

void ZIZMultipartMimeStreamEncoder::addValue(const Value& value, std::string_view fieldName) {
  if (value.isNull() || fieldName.empty()) {
    SystemLog::write("[Zizozu] name (" + std::string(fieldName) + ") or value (" + value.description() +
                     ") is invalid");
    return;
  }
  writeText("--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + std::string(fieldName) +
            "\"\r\nContent-Type: text/plain\r\n\r\n" + value.description() + "\r\n");
}

void ZIZMultipartMimeStreamEncoder::addFileData(std::span<const std::uint8_t> data, std::string_view fileName,
                                                const std::optional<std::string>& mimeType,
                                                std::string_view fieldName) {
  if (data.empty()) {
    SystemLog::write("[Zizozu] Unable to MIME encode data with zero length (" + std::string(fieldName) + ")");
    return;
  }
  if (fieldName.empty() || fileName.empty()) {
    SystemLog::write("[Zizozu] name (" + std::string(fieldName) + ") or fieldname (" + std::string(fileName) +
                     ") is invalid");
    return;
  }
  std::string header = "--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + std::string(fieldName) +
                       "\"; filename=\"" + std::string(fileName) + "\"\r\n";
  header += mimeType ? "Content-Type: " + *mimeType + "\r\nContent-Transfer-Encoding: binary\r\n\r\n"
                     : "Content-Type: application/octet-stream\r\n\r\n";
  writeText(header);
  writeData(data);
  writeText("\r\n");
}

void ZIZMultipartMimeStreamEncoder::addFile(const std::filesystem::path& file, std::string_view fileName,
                                            const std::optional<std::string>& mimeType,
                                            std::string_view fieldName) {
  const FileContents read = readFileContents(file, kMaxFileBytes);
  addFileData(bytesOf(read.bytes), fileName, mimeType, fieldName);
}

bool ZIZMultipartMimeStreamEncoder::writeData(std::span<const std::uint8_t> data) {
  return write(data.data(), data.size(), "[Zizozu] Failed to write data to stream");
}

bool ZIZMultipartMimeStreamEncoder::writeBytes(const std::uint8_t* bytes, std::size_t length) {
  return write(bytes, length, "[Zizozu] Failed to write bytes to stream");
}

bool ZIZMultipartMimeStreamEncoder::writeText(std::string_view text) { return writeData(bytesOf(text)); }

bool ZIZMultipartMimeStreamEncoder::write(const std::uint8_t* bytes, std::size_t length, const char* failureLine) {
  // After a failed write the body has a gap: adding more would only hide it.
  if (failed_) return false;
  std::size_t taken = 0;
  while (open_ && taken < length) {
    const std::ptrdiff_t n = outputStream_->write(bytes + taken, length - taken);
    if (n <= 0) break;
    taken += static_cast<std::size_t>(n);
  }
  length_ += taken;  // what the stream holds, so Content-Length never claims more
  if (taken == length) return true;
  failed_ = true;
  SystemLog::write(failureLine);
  return false;
}

}  // namespace crashreporting
