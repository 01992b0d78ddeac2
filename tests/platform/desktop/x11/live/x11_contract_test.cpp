// The desktop contract on the X11 backend and the test desktop: test clients as applications, openbox moving
// and closing their windows as a user's actions would.
#include "platform/desktop/contract/DesktopContract.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test {
namespace {

class X11Backend : public x11::X11BackendTest {
 protected:
  ContractApp launch(const std::string& name) {
    auto& client = launchClient({"--class", "contract," + name, "--title", name});
    clients_.push_back(&client);
    const auto window = element(client.window());
    EXPECT_TRUE(window) << "the backend never saw the window of " << name;
    return {client.pid(), window.value_or(AXUIElement{})};
  }
  void quit(const ContractApp& app) {
    for (x11::TestClient* client : clients_)
      if (client->pid() == app.pid) client->quit();
  }
  void userMove(const AXUIElement& window, const CGRect& delta) {
    const auto w = static_cast<xcb_window_t>(window.id);
    const auto frame = probe().frameRect(w), client = probe().clientRect(w);
    ASSERT_TRUE(frame && client);
    // The pager's request names the outer frame's origin and the client's size.
    probe().moveResize(w, {frame->x + static_cast<std::int64_t>(delta.origin.x),
                           frame->y + static_cast<std::int64_t>(delta.origin.y),
                           client->width + static_cast<std::int64_t>(delta.size.width),
                           client->height + static_cast<std::int64_t>(delta.size.height)});
  }
  void close(const AXUIElement& window) { probe().destroy(static_cast<xcb_window_t>(window.id)); }
  bool eventually(const std::function<bool()>& condition) { return waitUntil(condition); }

 private:
  std::vector<x11::TestClient*> clients_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(OnX11, DesktopContract, X11Backend);

}  // namespace
}  // namespace tilvane::test
