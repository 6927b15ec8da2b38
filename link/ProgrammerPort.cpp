#include "link/ProgrammerPort.h"

namespace kestrel {

LinkLine LineThrough(TComm32& port, LinkTrace* trace) {
  port.Trace = trace;
  LinkLine line;
  line.WriteData = [&port](const std::uint8_t* buffer, std::uint16_t length) {
    return port.WriteData(buffer, length);
  };
  line.LineRate = [&port] { return port.BaudRate(); };
  line.Trace = trace;
  return line;
}

bool OpenProgrammerPort(TComm32& port, const ProgrammerLine& settings) {
  port.SetCommPort(settings.port);
  port.SetBaudRate(settings.baud);
  port.SetParity(settings.parity);
  port.SetFlowControl(fcNone);
  port.SetEventChar(0);
  if (!port.OpenPort()) return false;
  port.ModemControl(SETRTS);
  port.ModemControl(CLRDTR);
  return true;
}

void DropModemLines(TComm32& port) {
  port.ModemControl(CLRRTS);
  port.ModemControl(CLRDTR);
}

}  // namespace kestrel
