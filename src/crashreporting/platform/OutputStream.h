#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace crashreporting {

/// Where a body is written to, the stand-in for the platform's output stream.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  /// False when the stream cannot be opened.
  virtual bool open() = 0;
  /// Writes up to `length` bytes; answers how many were taken, which may be fewer, or -1 on an error.
  virtual std::ptrdiff_t write(const std::uint8_t* bytes, std::size_t length) = 0;
  virtual void close() = 0;
};

/// Collects the bytes in memory.
class MemoryOutputStream : public OutputStream {
 public:
  bool open() override { return true; }
  std::ptrdiff_t write(const std::uint8_t* bytes, std::size_t length) override;
  void close() override {}
  const std::vector<std::uint8_t>& data() const { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

/// Writes a file, created (mode 0600) or emptied on open.
class FileOutputStream : public OutputStream {
 public:
  explicit FileOutputStream(std::filesystem::path path);
  ~FileOutputStream() override;
  FileOutputStream(const FileOutputStream&) = delete;
  FileOutputStream& operator=(const FileOutputStream&) = delete;
  bool open() override;
  std::ptrdiff_t write(const std::uint8_t* bytes, std::size_t length) override;
  void close() override;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace crashreporting
