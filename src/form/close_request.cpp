#include "form/close_request.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>

namespace varnok::form {
namespace {

uint32_t atomNamed(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (!reply) return 0;
  const uint32_t atom = reply->atom;
  std::free(reply);
  return atom;
}

}  // namespace

CloseRequestWatch::CloseRequestWatch(QWidget& window, std::function<void()> onRequest)
    : window_(window), onRequest_(std::move(onRequest)) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return;
  protocolsAtom_ = atomNamed(x11->connection(), "WM_PROTOCOLS");
  deleteWindowAtom_ = atomNamed(x11->connection(), "WM_DELETE_WINDOW");
  if (protocolsAtom_ && deleteWindowAtom_) qApp->installNativeEventFilter(this);
}

CloseRequestWatch::~CloseRequestWatch() { qApp->removeNativeEventFilter(this); }

bool CloseRequestWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
  const auto* request = static_cast<const xcb_client_message_event_t*>(message);
  if (request->format == 32 && request->type == protocolsAtom_ &&
      request->data.data32[0] == deleteWindowAtom_ && window_.internalWinId() != 0 &&
      request->window == uint32_t(window_.internalWinId())) {
    onRequest_();
  }
  return false;  // Qt goes on with the request as ever
}

}  // namespace varnok::form
