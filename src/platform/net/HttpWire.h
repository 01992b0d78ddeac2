#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/net/HttpMessage.h"

namespace tilvane::net::wire {

// What the HTTP client and its network process say to each other over one stream socket. Each frame is a 32-bit
// length, a kind byte and the kind's fields; strings carry their own 32-bit length, so bodies may hold any byte.
// Both ends are this build of the program on one machine: numbers go in the machine's own byte order.

struct Start {
  std::uint64_t id = 0;
  HttpRequest request;
};
struct Cancel {
  std::uint64_t id = 0;
};
struct Outcome {
  std::uint64_t id = 0;
  HttpResponse response;
};
using Frame = std::variant<Start, Cancel, Outcome>;

/// The frame's bytes, ready to write.
std::string encode(const Frame& frame);

/// Gathers what arrives from the socket and hands out whole frames.
class FrameReader {
 public:
  /// A frame longer than `maxFrameBytes` is malformed.
  explicit FrameReader(std::size_t maxFrameBytes);

  void append(std::string_view bytes);
  /// The next whole frame; none while it has not all arrived, or once the stream is malformed (see failed()).
  std::optional<Frame> next();
  /// Why the stream cannot be read on, or "" while it can.
  const std::string& failed() const { return error_; }

 private:
  std::size_t maxFrameBytes_;
  std::string buffer_;
  std::size_t read_ = 0;  // bytes of buffer_ already handed out
  std::string error_;
};

/// Writes what the non-blocking `socket` takes of `out` now, dropping it from `out`; false once the peer has gone.
bool sendSome(int socket, std::string& out);
/// Reads what has arrived on the non-blocking `socket` into `reader`; false once the peer has closed it or it failed.
bool receiveSome(int socket, FrameReader& reader);

}  // namespace tilvane::net::wire
