// tilvane-net: the network process of Tilvane's HTTP client. It runs the exchanges on libcurl, so that the TLS
// stack and curl's libraries live here, for as long as there are requests, and never in the tray program that
// idles all day. Requests arrive as frames on standard input (a socket shared with the client), and each outcome
// goes back on it. It ends when the client closes the socket, dropping what is still running.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <variant>

#include "platform/net/HttpWire.h"
#include "platform/net/curl/CurlExchanges.h"

namespace {

using namespace tilvane::net;

constexpr int kSocket = 0;
// A request is what the client holds in memory; anything larger is not one of its frames.
constexpr std::size_t kMaxFrameBytes = std::size_t{1} << 30;

int serve() {
  std::signal(SIGPIPE, SIG_IGN);
  if (fcntl(kSocket, F_SETFL, fcntl(kSocket, F_GETFL) | O_NONBLOCK) != 0) return 2;
  CurlExchanges exchanges;
  wire::FrameReader reader(kMaxFrameBytes);
  std::string out;
  const CurlExchanges::Done reply = [&](std::uint64_t id, HttpResponse response) {
    out += wire::encode(wire::Outcome{id, std::move(response)});
  };
  for (;;) {
    exchanges.perform(reply);
    if (!wire::sendSome(kSocket, out)) return 0;  // the client went
    curl_waitfd client{kSocket, static_cast<short>(CURL_WAIT_POLLIN | (out.empty() ? 0 : CURL_WAIT_POLLOUT)), 0};
    exchanges.wait(&client, 1);
    if (!(client.revents & CURL_WAIT_POLLIN)) continue;  // an end of stream reads as input too
    const bool open = wire::receiveSome(kSocket, reader);
    while (auto frame = reader.next()) {
      if (auto* start = std::get_if<wire::Start>(&*frame))
        exchanges.start(start->id, std::move(start->request), reply);
      else if (const auto* cancel = std::get_if<wire::Cancel>(&*frame))
        exchanges.cancel(cancel->id);
    }
    if (!reader.failed().empty()) {
      std::fprintf(stderr, "tilvane-net: %s from the client\n", reader.failed().c_str());
      return 2;
    }
    if (!open) return 0;  // closed: the client is done with us, and with what still runs
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fprintf(stderr, "usage: %s\nTilvane's network process: started by Tilvane, not by hand.\n", argv[0]);
    return 2;
  }
  return serve();
}
