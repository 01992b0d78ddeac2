// A tiny X client for the tests: opens plain windows with exactly the properties a test asks for and no size
// hints (so the window manager keeps any size it is given), prints their ids, and then idles until it is
// terminated or loses its display.
//
//   tilvane-testclient [--class INSTANCE,CLASS] [--title TEXT] [--windows N] [--dock STRUT] [--garbage]
//                      [--own-frame LEFT,RIGHT,TOP,BOTTOM] [--after FILE] [--no-input]
//
// Windows are 400x300 and of the normal type; with --dock they are 10x10 docks reserving STRUT (the twelve
// comma-separated values of _NET_WM_STRUT_PARTIAL, set as given). With --own-frame a window draws its own frame as
// toolkits with client-side decorations do: it asks for no decoration (_MOTIF_WM_HINTS) and keeps invisible
// shadow margins of the given widths inside its area, published in _GTK_FRAME_EXTENTS (the margins are painted in
// a darker colour, so a screenshot shows them). With --after it opens nothing until FILE exists: a program slow
// to show its window, for as long as a test says. With --no-input the windows take no focus (WM_HINTS input false,
// no WM_TAKE_FOCUS), as a clock's do: the window manager never makes them active.
// Output, one line each: "window 0x<id>" per window once every window is mapped (with a window manager: once it
// manages the window), then "ready". With --garbage every window also gets malformed
// properties: wrong types and formats, huge and short values and invalid UTF-8, as a hostile client would set.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
  std::string instance = "testclient";
  std::string klass = "TestClient";
  std::string title = "Test window";
  int windows = 1;
  std::vector<uint32_t> strut;  // a dock's, when not empty
  std::vector<uint32_t> ownFrame;  // shadow margins, when not empty
  bool garbage = false;
  bool noInput = false;
  std::string after;  // a file to wait for, when not empty
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "tilvane-testclient: %s\n", why);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(("missing value for " + a).c_str());
      return argv[++i];
    };
    if (a == "--own-frame") {
      std::string v = value();
      for (char* p = v.data(); *p;) {
        o.ownFrame.push_back(static_cast<uint32_t>(std::strtoul(p, &p, 10)));
        if (*p && *p++ != ',') usage("--own-frame takes LEFT,RIGHT,TOP,BOTTOM");
      }
      if (o.ownFrame.size() != 4) usage("--own-frame takes LEFT,RIGHT,TOP,BOTTOM");
    } else if (a == "--class") {
      const std::string v = value();
      const auto comma = v.find(',');
      if (comma == std::string::npos) usage("--class takes INSTANCE,CLASS");
      o.instance = v.substr(0, comma);
      o.klass = v.substr(comma + 1);
    } else if (a == "--title") {
      o.title = value();
    } else if (a == "--windows") {
      o.windows = std::atoi(value().c_str());
    } else if (a == "--dock") {
      std::string v = value();
      for (char* p = v.data(); *p;) {
        o.strut.push_back(static_cast<uint32_t>(std::strtoul(p, &p, 10)));
        if (*p && *p++ != ',') usage("--dock takes comma-separated numbers");
      }
    } else if (a == "--after") {
      o.after = value();
    } else if (a == "--no-input") {
      o.noInput = true;
    } else if (a == "--garbage") {
      o.garbage = true;
    } else {
      usage(("unknown option " + a).c_str());
    }
  }
  if (o.windows < 1 || o.windows > 64) usage("--windows takes 1..64");
  return o;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return a;
}

void setProperty(xcb_connection_t* c, xcb_window_t w, const char* name, xcb_atom_t type, uint8_t format,
                 const void* data, uint32_t items) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, name), type, format, items, data);
}

void setString(xcb_connection_t* c, xcb_window_t w, const char* name, xcb_atom_t type, const std::string& s) {
  setProperty(c, w, name, type, 8, s.data(), static_cast<uint32_t>(s.size()));
}

// Malformed values of every property Tilvane reads from a client.
void setGarbage(xcb_connection_t* c, xcb_window_t w) {
  const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
  // Invalid UTF-8: a lone continuation byte, an overlong encoding, a truncated sequence, a surrogate.
  setString(c, w, "_NET_WM_NAME", utf8, std::string("bad \x80 \xc0\xaf \xe2\x82 \xed\xa0\x80 end\xff", 20));
  // WM_NAME as 32-bit integers instead of text.
  const uint32_t numbers[3] = {1, 2, 3};
  setProperty(c, w, "WM_NAME", XCB_ATOM_INTEGER, 32, numbers, 3);
  // _NET_WM_PID in the wrong format (16-bit) and _NET_WM_DESKTOP as a string.
  const uint16_t shortPid[1] = {42};
  setProperty(c, w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 16, shortPid, 1);
  setString(c, w, "_NET_WM_DESKTOP", XCB_ATOM_STRING, "seven");
  // A 4 MiB WM_CLASS without any terminating NUL.
  setString(c, w, "WM_CLASS", XCB_ATOM_STRING, std::string(4u << 20, 'A'));
  // 256 Ki window types, none of them a real atom.
  std::vector<uint32_t> types(1u << 18);
  for (std::size_t i = 0; i < types.size(); ++i) types[i] = 0x7fff0000u + static_cast<uint32_t>(i);
  setProperty(c, w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, types.data(), static_cast<uint32_t>(types.size()));
  // Too short: a strut of 3 values, a state given as text, frame extents of 2 values, empty hints.
  const uint32_t three[3] = {0xffffffffu, 0xffffffffu, 7};
  setProperty(c, w, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, three, 3);
  setString(c, w, "_NET_WM_STATE", XCB_ATOM_STRING, "_NET_WM_STATE_HIDDEN");
  setProperty(c, w, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 32, three, 2);
  setProperty(c, w, "WM_HINTS", XCB_ATOM_WM_HINTS, 32, three, 1);
  setProperty(c, w, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS, 32, three, 0);
}

// Sizes the visible part of a window drawing its own frame to the window less its shadow margins.
void fitArea(xcb_connection_t* c, xcb_window_t area, const std::vector<uint32_t>& margins, int width, int height) {
  const uint32_t size[2] = {static_cast<uint32_t>(std::max(1, width - static_cast<int>(margins[0] + margins[1]))),
                            static_cast<uint32_t>(std::max(1, height - static_cast<int>(margins[2] + margins[3])))};
  xcb_configure_window(c, area, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  while (!o.after.empty() && access(o.after.c_str(), F_OK) != 0) poll(nullptr, 0, 20);
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "tilvane-testclient: cannot open the display\n");
    return 1;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  const xcb_screen_t* screen = it.data;

  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const xcb_atom_t utf8 = atom(c, "UTF8_STRING");

  std::vector<xcb_window_t> windows;
  std::vector<std::pair<xcb_window_t, xcb_window_t>> areas;  // --own-frame: window, its visible part
  for (int i = 0; i < o.windows; ++i) {
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK;
    const uint32_t values[2] = {0x3050a0u + static_cast<uint32_t>(i) * 0x201000u, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    const uint16_t size[2] = {static_cast<uint16_t>(o.strut.empty() ? 400 : 10),
                              static_cast<uint16_t>(o.strut.empty() ? 300 : 10)};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, size[0], size[1], 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      mask, values);
    const std::string title = o.windows > 1 ? o.title + " " + std::to_string(i + 1) : o.title;
    setString(c, w, "WM_NAME", XCB_ATOM_STRING, title);
    setString(c, w, "_NET_WM_NAME", utf8, title);
    setString(c, w, "WM_CLASS", XCB_ATOM_STRING, o.instance + '\0' + o.klass + '\0');
    setString(c, w, "WM_CLIENT_MACHINE", XCB_ATOM_STRING, host);
    const auto pid = static_cast<uint32_t>(getpid());
    setProperty(c, w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
    const xcb_atom_t type = atom(c, o.strut.empty() ? "_NET_WM_WINDOW_TYPE_NORMAL" : "_NET_WM_WINDOW_TYPE_DOCK");
    setProperty(c, w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, &type, 1);
    if (!o.strut.empty())
      setProperty(c, w, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, o.strut.data(),
                  static_cast<uint32_t>(o.strut.size()));
    if (!o.ownFrame.empty()) {
      // flags: decorations given; decorations: none.
      const uint32_t motif[5] = {2, 0, 0, 0, 0};
      const xcb_atom_t motifAtom = atom(c, "_MOTIF_WM_HINTS");
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, motifAtom, motifAtom, 32, 5, motif);
      setProperty(c, w, "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 32, o.ownFrame.data(), 4);
      const uint32_t shadowColour[] = {0x202020u}, inner[] = {0x3050a0u};
      xcb_change_window_attributes(c, w, XCB_CW_BACK_PIXEL, shadowColour);
      const xcb_window_t area = xcb_generate_id(c);
      // The visible part, kept inside the margins whatever size the window gets (see the idle loop).
      xcb_create_window(c, XCB_COPY_FROM_PARENT, area, w, static_cast<int16_t>(o.ownFrame[0]),
                        static_cast<int16_t>(o.ownFrame[2]), 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                        screen->root_visual, XCB_CW_BACK_PIXEL, inner);
      fitArea(c, area, o.ownFrame, 400, 300);
      xcb_map_window(c, area);
      areas.push_back({w, area});
    }
    if (o.noInput) {
      const uint32_t hints[9] = {1 /* InputHint */, 0 /* input: none */};
      setProperty(c, w, "WM_HINTS", XCB_ATOM_WM_HINTS, 32, hints, 9);
    }
    if (o.garbage) setGarbage(c, w);
    xcb_map_window(c, w);
    windows.push_back(w);
  }
  xcb_flush(c);

  // The window manager maps a window once it manages it (reparented, frame extents set); without one the map
  // request takes effect at once. Either way MapNotify says the window stands where a test may look at it.
  // Structure events come for our own windows only, and each is mapped once.
  for (std::size_t pending = windows.size(); pending > 0;) {
    xcb_generic_event_t* e = xcb_wait_for_event(c);
    if (!e) return 1;
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) --pending;
    std::free(e);
  }
  for (const xcb_window_t w : windows) std::printf("window 0x%x\n", w);
  std::printf("ready\n");
  std::fflush(stdout);

  // Idle: the windows stay until the process is terminated or the display goes away.
  pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
  for (;;) {
    if (poll(&pfd, 1, -1) < 0) continue;
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if ((e->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(e);
        for (const auto& [window, area] : areas)
          if (configure->window == window) fitArea(c, area, o.ownFrame, configure->width, configure->height);
        xcb_flush(c);
      }
      std::free(e);
    }
    if (xcb_connection_has_error(c)) {
      xcb_disconnect(c);  // frees what xcb holds, broken or not
      return 0;
    }
  }
}
