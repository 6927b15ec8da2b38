#include "operations/ChipSelection.h"

#include "link/Commands.h"

namespace kestrel {

void ListBox1Click(Session& s, int chipRow) {
  SelectChip(s.queue, chipRow);
  GetCommandMask(s.queue);
  GetLockBitCount(s.queue);
  GetFuseBitCount(s.queue);
  GetProgramMemorySize(s.queue);
  GetEepromSize(s.queue);
  GetRamSize(s.queue);
}

}  // namespace kestrel
