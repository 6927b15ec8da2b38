#pragma once
// What to tell a user whom the system refused a serial device for lack of rights: which group
// gives them (the device node's own, dialout on most systems) and that it acts from the next login.

#include <string>

namespace kestrel {

// One line in Russian for the device node at `path`.
std::string AccessDeniedHint(const std::string& path);

}  // namespace kestrel
