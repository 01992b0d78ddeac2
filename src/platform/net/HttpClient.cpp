#include "platform/net/HttpClient.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/net/HttpWire.h"
#include "platform/net/NetworkProcess.h"

namespace tilvane::net {
namespace {

using Clock = std::chrono::steady_clock;

// A reply holds at most its request's body cap and a capped header; anything larger is not one of ours.
constexpr std::size_t kMaxFrameBytes = std::size_t{1} << 30;

/// Wakes the worker from its poll: a counter that is readable while signalled.
class Wakeup {
 public:
  Wakeup() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Wakeup() {
    if (fd_ >= 0) close(fd_);
  }
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  int fd() const { return fd_; }
  void signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  }
  void drain() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
};

}  // namespace

struct HttpClient::Shared {
  Executor executor;
  Options options;
  // Both read on the thread that makes the client (see NetworkProcess::currentEnvironment).
  std::string program;
  std::vector<std::string> environment;
  Wakeup wakeup;
  std::thread worker;

  mutable std::mutex mutex;
  std::map<RequestId, Completion> completions;  // requests whose completion is still to run
  std::vector<wire::Start> incoming;
  std::vector<RequestId> cancels;
  RequestId nextId = 1;
  bool stopping = false;

  /// Hands the outcome to the executor, unless the request was cancelled meanwhile.
  static void deliver(const std::weak_ptr<Shared>& weak, Shared& shared, RequestId id, HttpResponse response) {
    {
      const std::lock_guard lock(shared.mutex);
      if (shared.stopping || !shared.completions.count(id)) return;
    }
    shared.executor([weak, id, response = std::move(response)]() mutable {
      const std::shared_ptr<Shared> alive = weak.lock();
      if (!alive) return;
      Completion completion;
      {
        const std::lock_guard lock(alive->mutex);
        const auto it = alive->completions.find(id);
        if (it == alive->completions.end()) return;  // cancelled after the reply left the worker
        completion = std::move(it->second);
        alive->completions.erase(it);
      }
      completion(std::move(response));
    });
  }

  /// The worker: starts the network process when requests come, hands them over, delivers the outcomes, and ends
  /// the process once it has had nothing to do for the linger time. With no process it sleeps on the wake-up alone.
  static void run(std::weak_ptr<Shared> weak, Shared& shared) {
    // Signals are the main thread's business. Real-time signals stay open: they are sent to one thread, as a crash
    // reporter does to stop every thread it records.
    sigset_t all;
    sigfillset(&all);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigdelset(&all, signal);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "http-worker");

    const auto linger = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::isfinite(shared.options.linger) ? std::max(shared.options.linger, 0.0) : 0));
    std::unique_ptr<NetworkProcess> process;
    wire::FrameReader reader(kMaxFrameBytes);
    std::string out;
    std::set<RequestId> inFlight;
    Clock::time_point idleSince{};
    bool idle = false;  // since idleSince, with the process and nothing in flight

    const auto endProcess = [&] {
      std::string how = process->end();
      process.reset();
      if (shared.options.ended) shared.options.ended(how);
      return how;
    };
    const auto lose = [&](const std::string& why) {
      const std::string how = endProcess();
      for (const RequestId id : inFlight)
        deliver(weak, shared, id,
                HttpResponse::failure(HttpErrorCode::transport, "the network process " + why + " (" + how + ") before the reply"));
      inFlight.clear();
    };

    for (;;) {
      std::vector<wire::Start> arrived;
      std::vector<RequestId> cancelled;
      {
        const std::lock_guard lock(shared.mutex);
        if (shared.stopping) break;
        arrived.swap(shared.incoming);
        cancelled.swap(shared.cancels);
      }
      for (const RequestId id : cancelled)
        if (inFlight.erase(id)) out += wire::encode(wire::Cancel{id});
      if (!arrived.empty() && !process) {
        std::string error;
        process = NetworkProcess::start(shared.program, shared.environment, error);
        reader = wire::FrameReader(kMaxFrameBytes);
        out.clear();
        if (!process) {
          for (const wire::Start& start : arrived)
            deliver(weak, shared, start.id, HttpResponse::failure(HttpErrorCode::transport, error));
          arrived.clear();
        }
      }
      for (wire::Start& start : arrived) {
        inFlight.insert(start.id);
        out += wire::encode(start);
      }
      if (process && !wire::sendSome(process->socket(), out)) {
        lose("went away");
        continue;
      }

      int timeout = -1;
      if (process && inFlight.empty()) {
        const Clock::time_point now = Clock::now();
        if (!std::exchange(idle, true)) idleSince = now;
        if (now - idleSince >= linger) {
          endProcess();  // idle long enough
          idle = false;
          continue;
        }
        timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(idleSince + linger - now).count());
      } else {
        idle = false;
      }
      pollfd fds[2] = {{shared.wakeup.fd(), POLLIN, 0},
                       {process ? process->socket() : -1, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0}};
      if (poll(fds, 2, timeout) < 0 && errno != EINTR) continue;
      if (fds[0].revents) shared.wakeup.drain();
      if (!process || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;

      const bool open = wire::receiveSome(process->socket(), reader);
      while (std::optional<wire::Frame> frame = reader.next()) {
        auto* outcome = std::get_if<wire::Outcome>(&*frame);
        if (outcome && inFlight.erase(outcome->id))  // not one cancelled on its way
          deliver(weak, shared, outcome->id, std::move(outcome->response));
      }
      if (!reader.failed().empty())
        lose("sent " + reader.failed());
      else if (!open)
        lose("ended");
    }
    if (process) endProcess();
  }
};

HttpClient::HttpClient(Executor executor, Options options) : shared_(std::make_shared<Shared>()) {
  shared_->executor = std::move(executor);
  shared_->program = NetworkProcess::locate(options.program);
  shared_->environment = NetworkProcess::currentEnvironment();
  shared_->options = std::move(options);
}

HttpClient::~HttpClient() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->completions.clear();
    shared_->incoming.clear();
  }
  shared_->wakeup.signal();
  if (shared_->worker.joinable()) shared_->worker.join();
}

HttpClient::RequestId HttpClient::send(HttpRequest request, Completion completion) {
  RequestId id = 0;
  {
    const std::lock_guard lock(shared_->mutex);
    id = shared_->nextId++;
    shared_->completions.emplace(id, std::move(completion));
    shared_->incoming.push_back({id, std::move(request)});
    if (!shared_->worker.joinable())
      shared_->worker = std::thread(&Shared::run, std::weak_ptr<Shared>(shared_), std::ref(*shared_));
  }
  shared_->wakeup.signal();
  return id;
}

HttpClient::RequestId HttpClient::get(std::string url, double timeout, std::size_t maxBodyBytes,
                                      Completion completion) {
  HttpRequest request;
  request.url = std::move(url);
  request.timeout = timeout;
  request.maxBodyBytes = maxBodyBytes;
  return send(std::move(request), std::move(completion));
}

void HttpClient::cancel(RequestId id) {
  {
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->completions.erase(id)) return;
    auto& incoming = shared_->incoming;
    for (auto it = incoming.begin(); it != incoming.end(); ++it) {
      if (it->id == id) {
        incoming.erase(it);
        return;
      }
    }
    shared_->cancels.push_back(id);
  }
  shared_->wakeup.signal();
}

std::size_t HttpClient::pendingCount() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->completions.size();
}

}  // namespace tilvane::net
