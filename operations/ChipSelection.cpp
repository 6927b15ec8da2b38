#include "operations/ChipSelection.h"

#include "link/Commands.h"

namespace kestrel {

void ListBox1Click(Session& s) {
  SelectChip(s, s.view.SelectedChip());
  GetCommandMask(s);
  GetLockBitCount(s);
  GetFuseBitCount(s);
  GetProgramMemorySize(s);
  GetEepromSize(s);
  GetRamSize(s);
}

}  // namespace kestrel
