#include "platform/net/HttpWire.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <type_traits>

namespace tilvane::net::wire {
namespace {

enum class Kind : std::uint8_t { start = 1, cancel = 2, outcome = 3 };

class Writer {
 public:
  template <typename T>
  void number(T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void text(std::string_view value) {
    number(static_cast<std::uint32_t>(value.size()));
    out.append(value);
  }
  void headers(const HttpHeaders& fields) {
    number(static_cast<std::uint32_t>(fields.size()));
    for (const auto& [name, value] : fields) {
      text(name);
      text(value);
    }
  }
  std::string out;
};

/// Reads fields from one frame's payload; every read is bounded by it, and a short payload makes `ok` false.
class Reader {
 public:
  explicit Reader(std::string_view payload) : rest_(payload) {}

  template <typename T>
  T number() {
    T value{};
    if (rest_.size() < sizeof value) {
      ok = false;
      return value;
    }
    std::memcpy(&value, rest_.data(), sizeof value);
    rest_.remove_prefix(sizeof value);
    return value;
  }
  std::string text() {
    const auto size = number<std::uint32_t>();
    if (!ok || rest_.size() < size) {
      ok = false;
      return {};
    }
    std::string value(rest_.substr(0, size));
    rest_.remove_prefix(size);
    return value;
  }
  HttpHeaders headers() {
    HttpHeaders fields;
    const auto count = number<std::uint32_t>();
    for (std::uint32_t i = 0; ok && i < count; ++i) {
      std::string name = text();
      std::string value = text();
      if (ok) fields.emplace_back(std::move(name), std::move(value));
    }
    return fields;
  }
  bool finished() const { return ok && rest_.empty(); }

  bool ok = true;

 private:
  std::string_view rest_;
};

void write(Writer& writer, const Start& start) {
  const HttpRequest& request = start.request;
  writer.number(Kind::start);
  writer.number(start.id);
  writer.text(request.method);
  writer.text(request.url);
  writer.headers(request.headers);
  writer.text(request.body);
  writer.text(request.bodyFile);
  writer.number(request.timeout);
  writer.number(request.idleTimeout);
  writer.number(static_cast<std::uint64_t>(request.maxBodyBytes));
  writer.number(static_cast<std::uint8_t>(request.followRedirects));
  writer.text(request.caFile);
  writer.text(request.caCertificates);
  writer.text(request.pinnedPublicKey);
}

void write(Writer& writer, const Cancel& cancel) {
  writer.number(Kind::cancel);
  writer.number(cancel.id);
}

void write(Writer& writer, const Outcome& outcome) {
  const HttpResponse& response = outcome.response;
  writer.number(Kind::outcome);
  writer.number(outcome.id);
  writer.number(static_cast<std::int64_t>(response.status));
  writer.headers(response.headers);
  writer.text(response.body);
  writer.number(static_cast<std::uint8_t>(response.error.has_value()));
  if (response.error) {
    writer.number(static_cast<std::uint8_t>(response.error->code));
    writer.text(response.error->message);
  }
}

std::optional<Frame> read(Reader& reader) {
  const auto kind = reader.number<Kind>();
  if (kind == Kind::start) {
    Start start;
    HttpRequest& request = start.request;
    start.id = reader.number<std::uint64_t>();
    request.method = reader.text();
    request.url = reader.text();
    request.headers = reader.headers();
    request.body = reader.text();
    request.bodyFile = reader.text();
    request.timeout = reader.number<double>();
    request.idleTimeout = reader.number<double>();
    request.maxBodyBytes = static_cast<std::size_t>(reader.number<std::uint64_t>());
    request.followRedirects = reader.number<std::uint8_t>() != 0;
    request.caFile = reader.text();
    request.caCertificates = reader.text();
    request.pinnedPublicKey = reader.text();
    if (reader.finished()) return start;
  } else if (kind == Kind::cancel) {
    Cancel cancel{reader.number<std::uint64_t>()};
    if (reader.finished()) return cancel;
  } else if (kind == Kind::outcome) {
    Outcome outcome;
    HttpResponse& response = outcome.response;
    outcome.id = reader.number<std::uint64_t>();
    response.status = static_cast<long>(reader.number<std::int64_t>());
    response.headers = reader.headers();
    response.body = reader.text();
    if (reader.number<std::uint8_t>() != 0) {
      const auto code = reader.number<std::uint8_t>();
      if (code > static_cast<std::uint8_t>(HttpErrorCode::cancelled)) return std::nullopt;
      response.error = HttpError{static_cast<HttpErrorCode>(code), reader.text()};
    }
    if (reader.finished()) return outcome;
  }
  return std::nullopt;
}

}  // namespace

std::string encode(const Frame& frame) {
  Writer writer;
  writer.number(std::uint32_t{0});  // the length, filled in below
  std::visit([&](const auto& kind) { write(writer, kind); }, frame);
  const auto length = static_cast<std::uint32_t>(writer.out.size() - sizeof(std::uint32_t));
  std::memcpy(writer.out.data(), &length, sizeof length);
  return std::move(writer.out);
}

FrameReader::FrameReader(std::size_t maxFrameBytes) : maxFrameBytes_(maxFrameBytes) {}

void FrameReader::append(std::string_view bytes) {
  if (!error_.empty()) return;
  if (read_ > 0 && read_ >= buffer_.size() / 2) {  // keep the buffer from growing with what was handed out
    buffer_.erase(0, read_);
    read_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<Frame> FrameReader::next() {
  if (!error_.empty()) return std::nullopt;
  const std::string_view pending = std::string_view(buffer_).substr(read_);
  std::uint32_t length = 0;
  if (pending.size() < sizeof length) return std::nullopt;
  std::memcpy(&length, pending.data(), sizeof length);
  if (length > maxFrameBytes_) {
    error_ = "a frame of " + std::to_string(length) + " bytes, over the limit of " + std::to_string(maxFrameBytes_);
    return std::nullopt;
  }
  if (pending.size() - sizeof length < length) return std::nullopt;
  Reader reader(pending.substr(sizeof length, length));
  read_ += sizeof length + length;
  std::optional<Frame> frame = read(reader);
  if (!frame) error_ = "a malformed frame";
  return frame;
}

bool sendSome(int socket, std::string& out) {
  while (!out.empty()) {
    const ssize_t sent = send(socket, out.data(), out.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (sent <= 0) return false;
    out.erase(0, static_cast<std::size_t>(sent));
  }
  return true;
}

bool receiveSome(int socket, FrameReader& reader) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (got <= 0) return false;
    reader.append(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
}

}  // namespace tilvane::net::wire
