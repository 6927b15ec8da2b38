#pragma once
// The COM ports Windows knows now: the values of its SERIALCOMM key, each named after the port's
// device ("\Device\Serial0", "\Device\USBSER000") and holding the port's name ("COM1"). The ports
// come in the order of their numbers, names that are not "COMn" after them by name; the detail is
// the device's name without "\Device\".

#include <windows.h>

#include "link/PortList.h"

namespace kestrel {

// The ports listed in the open key `serialComm`.
std::vector<PortEntry> ListPorts(HKEY serialComm);

}  // namespace kestrel
