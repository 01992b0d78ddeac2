#pragma once

#include <memory>
#include <string>

#include "Shell/ShellServices.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/updater/FeedSource.h"

namespace tilvane {

// Until the network client exists, every fetch of the update feed fails, on the main loop as a real one does,
// so a check says it could not check instead of passing unseen.
class InterimFeedSource final : public updates::FeedSource {
 public:
  std::unique_ptr<updates::FeedRequest> fetch(const std::string&, std::size_t, double, Completion done) override {
    auto request = std::make_unique<Request>();
    dispatch::MainQueue::async([alive = std::weak_ptr<bool>(request->alive), done = std::move(done)] {
      if (alive.lock()) done({"this build has no network client yet", 0, {}});
    });
    return request;
  }

 private:
  struct Request final : updates::FeedRequest {
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  };
};

class InterimAnnouncements final : public AnnouncementRequester {
 public:
  void requestAfter(double) override {}
};

}  // namespace tilvane
