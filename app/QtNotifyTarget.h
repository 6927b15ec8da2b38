#pragma once
// The serial component's hand-over to the Qt user-interface thread.

#include <memory>

#include "link/NotifyTarget.h"

namespace kestrel {

// Must be called on the user-interface thread: the target lives there and delivers each posted
// notification, in order, from its event loop.
std::unique_ptr<NotifyTarget> MakeQtNotifyTarget();

}  // namespace kestrel
