#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "crashreporting/platform/OutputStream.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// Writes a "multipart/form-data" body part by part to an output stream and counts the bytes the stream took,
/// for the Content-Length header. A stream that fails to take a write marks the encoder failed(): nothing more
/// is written after it, and the length is what the stream really holds, so a cut body is never passed off as
/// whole. One thread at a time, inside one encode() call.
class ZIZMultipartMimeStreamEncoder {
 public:
  using Block = std::function<void(ZIZMultipartMimeStreamEncoder& encoder)>;

  /// A new boundary: a UUID's 36-character text.
  static std::string generateBoundary();
  /// Writes to `stream` (which must outlive the encoder) with `boundary`, or a generated one.
  ZIZMultipartMimeStreamEncoder(OutputStream& stream, std::optional<std::string> boundary);

  static std::string contentTypeHTTPHeaderValueWithBoundary(std::string_view boundary);
  std::string contentTypeHTTPHeaderValue() const;
  std::string contentLengthHTTPHeaderValue() const;

  /// beginEncoding(), the block (which adds the parts), endEncoding().
  void encode(const Block& block);
  void beginEncoding();
  void endEncoding();
  /// A text part holding the value's description. Refused (nothing written, a log line) for a null value or an
  /// empty field name.
  void addValue(const Value& value, std::string_view fieldName);
  /// A file part; without a MIME type it is sent as application/octet-stream. Refused for empty data, or an
  /// empty field or file name.
  void addFileData(std::span<const std::uint8_t> data, std::string_view fileName,
                   const std::optional<std::string>& mimeType, std::string_view fieldName);
  /// addFileData with the whole file; an unreadable file is refused as empty data.
  void addFile(const std::filesystem::path& file, std::string_view fileName,
               const std::optional<std::string>& mimeType, std::string_view fieldName);
  bool writeData(std::span<const std::uint8_t> data);
  bool writeBytes(const std::uint8_t* bytes, std::size_t length);

  /// Whether a write was not taken in full since beginEncoding().
  bool failed() const { return failed_; }
  std::uint64_t length() const { return length_; }
  void setLength(std::uint64_t length) { length_ = length; }
  const std::string& boundary() const { return boundary_; }
  void setBoundary(std::string boundary) { boundary_ = std::move(boundary); }
  OutputStream& outputStream() const { return *outputStream_; }
  void setOutputStream(OutputStream& stream) { outputStream_ = &stream; }

  /// Encodes into memory with a generated boundary and hands the request its "Content-Type" and
  /// "Content-Length" headers and its body. `Request` has setValue(value, header) and setHTTPBody(bytes).
  /// False when the body could not be written whole.
  template <class Request>
  static bool populateRequest(Request& request, const Block& block) {
    MemoryOutputStream stream;
    ZIZMultipartMimeStreamEncoder encoder(stream, std::nullopt);
    encoder.encode(block);
    request.setValue(encoder.contentTypeHTTPHeaderValue(), "Content-Type");
    request.setValue(encoder.contentLengthHTTPHeaderValue(), "Content-Length");
    request.setHTTPBody(stream.data());
    return !encoder.failed();
  }

 private:
  bool write(const std::uint8_t* bytes, std::size_t length, const char* failureLine);
  bool writeText(std::string_view text);

  OutputStream* outputStream_;
  std::string boundary_;
  std::uint64_t length_ = 0;
  bool open_ = false;
  bool failed_ = false;
};

}  // namespace crashreporting
