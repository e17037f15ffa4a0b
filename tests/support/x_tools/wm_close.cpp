// wm_close WINDOW: asks an X window to close as a window manager does, with
// a WM_DELETE_WINDOW message, for tests on an X server that runs no window
// manager (Xvfb).
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wm_close WINDOW\n");
    return 2;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "wm_close: cannot open the display\n");
    return 1;
  }
  xcb_client_message_event_t request{};
  request.response_type = XCB_CLIENT_MESSAGE;
  request.format = 32;
  request.window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
  request.type = atomNamed(connection, "WM_PROTOCOLS");
  request.data.data32[0] = atomNamed(connection, "WM_DELETE_WINDOW");
  request.data.data32[1] = XCB_CURRENT_TIME;
  // Checked, so that the server has taken the request before the
  // connection closes (a request still in flight may be dropped).
  const auto cookie = xcb_send_event_checked(connection, 0, request.window,
                                             XCB_EVENT_MASK_NO_EVENT,
                                             reinterpret_cast<const char*>(&request));
  xcb_generic_error_t* error = xcb_request_check(connection, cookie);
  const int failed = error != nullptr || xcb_connection_has_error(connection);
  std::free(error);
  xcb_disconnect(connection);
  return failed;
}
