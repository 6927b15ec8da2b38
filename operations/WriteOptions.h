#pragma once
// The write options of the settings dialog, as they stand at the click that starts an operation.

namespace kestrel {

// One memory's switches.
struct MemoryWriteOptions {
  bool reload = false;  // load the working file into the buffer before writing
  bool erase = false;   // erase the memory before writing
  bool verify = false;  // verify after writing
};

struct WriteOptions {
  MemoryWriteOptions programMemory;  // CheckBox1, CheckBox2, CheckBox3
  MemoryWriteOptions eeprom;         // CheckBox5, CheckBox6, CheckBox7
  bool understandHex = false;        // CheckBox4: image files are read and written by their extension
};

}  // namespace kestrel
