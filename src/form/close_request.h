// The window manager's request to close a window (WM_DELETE_WINDOW), seen
// as it arrives from the X server. Qt drops such a request while a modal
// message box blocks the window, and a run shows one at every step, so a
// close asked for during a run would be lost; this tells the window of
// every request first. Under a platform other than X it sees nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

class QWidget;

namespace varnok::form {

class CloseRequestWatch final : public QAbstractNativeEventFilter {
 public:
  // Calls onRequest for each request to close `window`, before Qt acts on it.
  CloseRequestWatch(QWidget& window, std::function<void()> onRequest);
  ~CloseRequestWatch() override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  QWidget& window_;
  std::function<void()> onRequest_;
  uint32_t protocolsAtom_ = 0;
  uint32_t deleteWindowAtom_ = 0;
};

}  // namespace varnok::form
