#include "crashreporting/platform/OutputStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base/StoredFile.h"

namespace crashreporting {

std::ptrdiff_t MemoryOutputStream::write(const std::uint8_t* bytes, std::size_t length) {
  if (length > 0) data_.insert(data_.end(), bytes, bytes + length);
  return static_cast<std::ptrdiff_t>(length);
}

FileOutputStream::FileOutputStream(std::filesystem::path path) : path_(std::move(path)) {}

FileOutputStream::~FileOutputStream() { close(); }

bool FileOutputStream::open() {
  if (fd_ >= 0) return true;
  // Never blocks: anything but a regular file in its place (a FIFO without a reader) is refused.
  std::string error;
  fd_ = tilvane::openRegularFileForWriting(path_, O_WRONLY | O_CREAT | O_TRUNC, 0600, error);
  return fd_ >= 0;
}

std::ptrdiff_t FileOutputStream::write(const std::uint8_t* bytes, std::size_t length) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::write(fd_, bytes, length);
    if (n >= 0 || errno != EINTR) return n;
  }
}

void FileOutputStream::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace crashreporting
