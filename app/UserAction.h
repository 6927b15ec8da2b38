#pragma once
// Runs a user action to its end inside the handler that started it, so that no exception unwinds
// through the toolkit's own frames (built without exception support, they would leak and be left
// half-done): a silent abort ends the action without a message, any other error is shown in the
// error box.

#include <functional>

namespace kestrel {

// Returns whether the action ran to its end.
bool RunUserAction(const std::function<void()>& action);

}  // namespace kestrel
