#pragma once

#include <string>

#include "link/TComm32.h"

namespace kestrel::test {

// The text of the ECommsError that OpenPort raises; empty when it raises none.
inline std::string OpenPortError(TComm32& comm) {
  try {
    comm.OpenPort();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "";
}

}  // namespace kestrel::test
