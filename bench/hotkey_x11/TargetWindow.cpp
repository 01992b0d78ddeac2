#include "TargetWindow.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tilvane::bench {
namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return atom;
}

// The child: opens the window, writes its id to `out` once it is mapped, then idles until its display goes.
[[noreturn]] void runChild(const std::string& display, int out) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  if (xcb_connection_has_error(c)) _exit(1);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t w = xcb_generate_id(c);
  const std::uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 200, 200, 400, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  static const char kClass[] = "benchtarget\0TilvaneBench";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof kClass, kClass);
  static const char kTitle[] = "Hot-key benchmark";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof kTitle - 1, kTitle);
  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
  xcb_map_window(c, w);
  xcb_flush(c);
  bool announced = false;
  while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
    if (!announced && (e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
      const std::string line = std::to_string(w) + "\n";
      if (write(out, line.data(), line.size()) < 0) _exit(1);
      close(out);
      announced = true;
    }
    std::free(e);
  }
  _exit(0);
}

}  // namespace

std::unique_ptr<TargetWindow> TargetWindow::start(const std::string& display, std::string* error) {
  int fds[2];
  if (pipe(fds) != 0) {
    *error = "pipe failed";
    return nullptr;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    *error = "fork failed";
    return nullptr;
  }
  if (pid == 0) {
    close(fds[0]);
    runChild(display, fds[1]);
  }
  close(fds[1]);
  std::string text;
  pollfd p{fds[0], POLLIN, 0};
  char buffer[64];
  while (text.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (text.find('\n') == std::string::npos) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    *error = "the target window did not appear";
    return nullptr;
  }
  return std::unique_ptr<TargetWindow>(new TargetWindow(pid, static_cast<std::uint32_t>(std::stoul(text))));
}

TargetWindow::~TargetWindow() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace tilvane::bench
