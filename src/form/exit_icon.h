// The picture of the exit button: a red cross on white.
#pragma once

#include <QIcon>

namespace varnok::form {

inline constexpr int kExitIconSize = 32;

QIcon exitIcon();

}  // namespace varnok::form
