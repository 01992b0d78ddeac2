#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// Reading a report package back: its multipart parts and their gzip bodies.

namespace crashreporting::test {

struct PackagePart {
  std::string name;
  std::optional<std::string> fileName;
  std::string contentType;
  std::string body;
};

/// The parts of a multipart body with `boundary`, in order; a malformed body fails the test.
inline std::vector<PackagePart> parsePackage(const std::string& bytes, const std::string& boundary) {
  std::vector<PackagePart> parts;
  const std::string delimiter = "--" + boundary;
  std::size_t at = bytes.find(delimiter);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no boundary";
    return parts;
  }
  while (true) {
    at += delimiter.size();
    if (bytes.compare(at, 2, "--") == 0) return parts;
    if (bytes.compare(at, 2, "\r\n") != 0) break;
    const std::size_t headersEnd = bytes.find("\r\n\r\n", at);
    const std::size_t next = bytes.find("\r\n" + delimiter, headersEnd);
    if (headersEnd == std::string::npos || next == std::string::npos) break;
    const std::string headers = bytes.substr(at + 2, headersEnd - at - 2);
    PackagePart part;
    part.body = bytes.substr(headersEnd + 4, next - headersEnd - 4);
    const auto quoted = [&](const std::string& key) -> std::optional<std::string> {
      const std::size_t start = headers.find(key + "=\"");
      if (start == std::string::npos) return std::nullopt;
      const std::size_t end = headers.find('"', start + key.size() + 2);
      return headers.substr(start + key.size() + 2, end - start - key.size() - 2);
    };
    part.name = quoted("name").value_or("");
    part.fileName = quoted("filename");
    const std::size_t type = headers.find("Content-Type: ");
    if (type != std::string::npos) {
      part.contentType = headers.substr(type + 14, headers.find("\r\n", type) - type - 14);
    }
    parts.push_back(std::move(part));
    at = next + 2;
  }
  ADD_FAILURE() << "malformed package";
  return parts;
}

/// The bytes a gzip body holds; none when it is no whole gzip stream.
inline std::optional<std::string> gunzip(const std::string& compressed) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::string out;
  char buffer[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END) return std::nullopt;
  return out;
}

}  // namespace crashreporting::test
