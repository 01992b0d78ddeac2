#include "crashreporting/Reports/VRDDamage.h"

#include <zlib.h>

#include <filesystem>
#include <string_view>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Json.h"

namespace crashreporting {
namespace {

constexpr std::string_view kPreamble = "MIME-Version: 1.0\r\n";
// Far beyond any package packaging makes (each part is bounded); a larger file is not read whole.
constexpr std::uintmax_t kMaxPackageBytes = 256u * 1024 * 1024;

/// Whether `bytes` is one whole gzip stream and nothing after it.
bool inflates(std::string_view bytes) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  char sink[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(sink);
    stream.avail_out = sizeof sink;
    result = inflate(&stream, Z_NO_FLUSH);
  }
  const bool whole = result == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  return whole;
}

std::optional<std::string> packageDamage(const std::string& path, const FileContents& contents);
std::optional<std::string> recordDamage(const std::string& path, const FileContents& contents);

using DamageOf = std::optional<std::string> (*)(const std::string&, const FileContents&);

/// Reads `path` once: a passing failure to read says nothing of the file, so it is told apart from damage.
VRDFileCheck checkFile(const std::string& path, DamageOf damageOf) {
  const FileContents contents = readFileContents(path, kMaxPackageBytes);
  if (failedForNow(contents)) return {.notNow = "it cannot be read now (" + contents.error + ")"};
  return {.damage = damageOf(path, contents)};
}

std::string unreadableReason(const FileContents& contents) {
  return contents.status == FileContents::Status::absent ? std::string("it is gone") : contents.error;
}

std::string quotedName(std::string_view headers) {
  const std::size_t start = headers.find("; name=\"");
  if (start == std::string_view::npos) return {};
  const std::size_t end = headers.find('"', start + 8);
  return end == std::string_view::npos ? std::string() : std::string(headers.substr(start + 8, end - start - 8));
}

}  // namespace

VRDFileCheck VRDPackageDamage(const std::string& path) { return checkFile(path, packageDamage); }

namespace {

std::optional<std::string> packageDamage(const std::string& path, const FileContents& contents) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxPackageBytes)
    return "it is larger than any package (" + std::to_string(size) + " bytes)";
  if (!contents.ok()) return "it cannot be read (" + unreadableReason(contents) + ")";
  if (error || contents.bytes.size() != size) return std::string("it changed while it was read");
  const std::string& bytes = contents.bytes;

  const std::string boundary = std::filesystem::path(path).stem().string();
  const std::string delimiter = "--" + boundary;
  std::string_view rest(bytes);
  if (rest.starts_with(kPreamble)) rest.remove_prefix(kPreamble.size());
  if (!rest.starts_with(delimiter)) return "it does not begin with the boundary " + boundary;
  for (int part = 1;; ++part) {
    rest.remove_prefix(delimiter.size());
    if (rest == "--\r\n") return std::nullopt;
    if (!rest.starts_with("\r\n")) {
      return rest.starts_with("--") ? std::string("bytes follow its closing boundary")
                                    : "part " + std::to_string(part) + " is cut short";
    }
    rest.remove_prefix(2);
    const std::size_t headersEnd = rest.find("\r\n\r\n");
    if (headersEnd == std::string_view::npos) return "part " + std::to_string(part) + " is cut short";
    const std::string_view headers = rest.substr(0, headersEnd);
    const std::string name = quotedName(headers);
    if (!headers.starts_with("Content-Disposition: form-data; name=\"") || name.empty())
      return "part " + std::to_string(part) + " names no field";
    const std::size_t next = rest.find("\r\n" + delimiter, headersEnd + 4);
    if (next == std::string_view::npos) return "part " + std::to_string(part) + " (" + name + ") is cut short";
    const std::string_view body = rest.substr(headersEnd + 4, next - headersEnd - 4);
    if (headers.find("\r\nContent-Type: application/x-gzip") != std::string_view::npos && !inflates(body))
      return "part " + std::to_string(part) + " (" + name + ") does not decode as gzip";
    rest.remove_prefix(next + 2);
  }
}

}  // namespace

std::optional<std::string> VRDRecordIncompleteness(const std::string& path) {
  // What cannot be read at all is VRDRecordDamage's to say.
  const FileContents contents = readFileContents(path, kMaxPackageBytes);
  if (!contents.ok()) return std::nullopt;
  const std::string& bytes = contents.bytes;
  if (bytes.empty()) return std::string("it is empty");
  std::size_t whole = 0;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string decodeError;
    if (!json::decode(std::string_view(bytes).substr(start, end - start), decodeError)) {
      return "it is cut short after " + std::to_string(whole) + (whole == 1 ? " whole line" : " whole lines");
    }
    ++whole;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<Value> VRDRecordSalvageThreads(std::string_view line) {
  constexpr std::string_view kStart = "{\"threads\":[";
  if (!line.starts_with(kStart)) return std::nullopt;
  Array threads;
  std::size_t at = kStart.size();
  while (at < line.size() && line[at] == '{') {
    // The end of this object: braces counted outside strings.
    int depth = 0;
    bool inString = false;
    std::size_t end = at;
    for (; end < line.size(); ++end) {
      const char c = line[end];
      if (inString) {
        if (c == '\\') ++end;
        else if (c == '"') inString = false;
      } else if (c == '"') {
        inString = true;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        break;
      }
    }
    if (end >= line.size()) break;
    std::string decodeError;
    auto thread = json::decode(line.substr(at, end + 1 - at), decodeError);
    if (!thread || thread->get<Dictionary>() == nullptr) break;
    threads.push_back(std::move(*thread));
    at = end + 1;
    if (at < line.size() && line[at] == ',') ++at;
  }
  if (threads.empty()) return std::nullopt;
  return Value(std::move(threads));
}

VRDFileCheck VRDRecordDamage(const std::string& path) { return checkFile(path, recordDamage); }

namespace {

std::optional<std::string> recordDamage(const std::string& path, const FileContents& contents) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxPackageBytes)
    return "it is larger than any record (" + std::to_string(size) + " bytes)";
  // A record that is not there is no damage; one that is there and cannot be read is.
  if (contents.status == FileContents::Status::unreadable) {
    return "it cannot be read (" + unreadableReason(contents) + ")";
  }
  const std::string& bytes = contents.bytes;
  if (bytes.empty()) return std::nullopt;
  if (bytes.find_first_not_of('\0') == std::string::npos) return std::string("it holds only zero bytes");
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string decodeError;
    const auto line = json::decode(std::string_view(bytes).substr(start, end - start), decodeError);
    if (line && line->get<Dictionary>() != nullptr) return std::nullopt;
    start = end + 1;
  }
  return std::string("no line of it is a record");
}

}  // namespace

}  // namespace crashreporting
