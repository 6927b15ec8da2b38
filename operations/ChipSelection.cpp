#include "operations/ChipSelection.h"

#include "link/Commands.h"

namespace kestrel {

void ListBox1Click(Session& s, int chipRow) {
  SelectChip(s, chipRow);
  GetCommandMask(s);
  GetLockBitCount(s);
  GetFuseBitCount(s);
  GetProgramMemorySize(s);
  GetEepromSize(s);
  GetRamSize(s);
}

}  // namespace kestrel
