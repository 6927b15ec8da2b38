// Converts an Intel HEX file to a binary image through the program's HEX reader:
//   bench_buffer_hex2bin IN.hex OUT.bin
// bench_buffer_load times it as a whole process against `objcopy -I ihex -O binary`; like objcopy
// it writes its output plainly, without the program's flushed and renamed save.
#include <cstdio>
#include <fstream>

#include "buffer/Abort.h"
#include "buffer/BinaryFile.h"
#include "buffer/FileIo.h"
#include "buffer/MemoryImage.h"
#include "tests/support/FakeView.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s IN.hex OUT.bin\n", argv[0]);
    return 2;
  }
  kestrel::FakeView view;
  kestrel::MemoryImage image(view);
  try {
    const auto text = kestrel::ReadFileBytes(argv[1], kestrel::MaxRecordTextSize + 1);
    if (!text || text->size() > kestrel::MaxRecordTextSize ||
        !kestrel::LoadImageBytes(image, *text, kestrel::FileFormat::IntelHex, argv[1]))
      return 1;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.DataBuffer().data()),
              static_cast<std::streamsize>(image.Size()));
    if (!out.flush()) {
      std::fprintf(stderr, "%s: cannot write\n", argv[2]);
      return 1;
    }
  } catch (const kestrel::EAbort&) {
    std::fprintf(stderr, "%s\n", view.StatusText().c_str());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
