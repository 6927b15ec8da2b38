#pragma once
// The silent abort: ends the current user action without a message (a malformed HEX file).

#include <exception>

namespace kestrel {

struct EAbort : std::exception {
  const char* what() const noexcept override { return "aborted"; }
};

}  // namespace kestrel
