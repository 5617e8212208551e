#include "WindowFrameX11.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct ConnectionCloser {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

Connection Connect() {
  Connection connection(xcb_connect(nullptr, nullptr));
  if (connection && xcb_connection_has_error(connection.get())) connection.reset();
  return connection;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  ReplyPtr<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(
          c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
      &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The 32-bit values of a window property, or nothing when it is absent.
std::optional<std::vector<uint32_t>> Cardinals(xcb_connection_t* c, xcb_window_t window,
                                               xcb_atom_t property, xcb_atom_t type) {
  ReplyPtr<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr),
      &std::free);
  if (!reply || reply->type != type || reply->format != 32) return std::nullopt;
  const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
  return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// The EWMH check window names a live manager only if it carries the same
// property itself; a stale one is left behind by a manager that crashed.
bool ManagerRuns(xcb_connection_t* c, xcb_window_t root) {
  const xcb_atom_t check = Atom(c, "_NET_SUPPORTING_WM_CHECK");
  const auto onRoot = Cardinals(c, root, check, XCB_ATOM_WINDOW);
  if (!onRoot || onRoot->empty()) return false;
  const auto onChild = Cardinals(c, (*onRoot)[0], check, XCB_ATOM_WINDOW);
  return onChild && !onChild->empty() && (*onChild)[0] == (*onRoot)[0];
}

std::optional<FrameExtents> ReadExtents(xcb_connection_t* c, xcb_window_t window,
                                        xcb_atom_t property) {
  const auto values = Cardinals(c, window, property, XCB_ATOM_CARDINAL);
  if (!values || values->size() != 4) return std::nullopt;
  // The property's order is left, right, top, bottom.
  return FrameExtents{static_cast<int>((*values)[0]), static_cast<int>((*values)[1]),
                      static_cast<int>((*values)[2]), static_cast<int>((*values)[3])};
}

}  // namespace

std::optional<FrameExtents> RequestFrameExtents(unsigned long windowId, int timeoutMs) {
  const Connection connection = Connect();
  if (!connection) return std::nullopt;
  xcb_connection_t* c = connection.get();
  const auto window = static_cast<xcb_window_t>(windowId);

  ReplyPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
  if (!geometry) return std::nullopt;
  const xcb_window_t root = geometry->root;
  // Nothing frames a window where no manager runs.
  if (!ManagerRuns(c, root)) return FrameExtents{};

  const xcb_atom_t request = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
  const xcb_atom_t extents = Atom(c, "_NET_FRAME_EXTENTS");
  const auto supported = Cardinals(c, root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
  if (!supported || request == XCB_ATOM_NONE ||
      std::find(supported->begin(), supported->end(), request) == supported->end()) {
    return std::nullopt;
  }

  // Event masks are per client: this selection leaves Qt's own untouched.
  const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
  if (auto known = ReadExtents(c, window, extents)) return known;

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = request;
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(c);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
      const bool answered = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                            reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == extents;
      std::free(event);
      if (answered) return ReadExtents(c, window, extents);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || xcb_connection_has_error(c)) return std::nullopt;
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left.count()));
  }
}

bool X11DisplayReachable() { return Connect() != nullptr; }

bool DisplayMissing(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                    bool x11Reachable) {
  // A platform the user chose is Qt's to reach, X11 ("xcb") excepted.
  const bool chosen = qpaPlatform && *qpaPlatform;
  if (chosen && std::string(qpaPlatform) != "xcb") return false;
  if (!chosen && waylandDisplay && *waylandDisplay) return false;
  return !(display && *display) || !x11Reachable;
}

std::optional<std::string> PlatformForSession(const char* qpaPlatform, const char* waylandDisplay,
                                              bool x11Reachable) {
  if (qpaPlatform && *qpaPlatform) return std::nullopt;
  if (!waylandDisplay || !*waylandDisplay || !x11Reachable) return std::nullopt;
  return std::string("xcb");
}
