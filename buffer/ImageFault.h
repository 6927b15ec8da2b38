#pragma once
// Why an image file (Intel HEX, S-record, ELF) was refused, and the status panel's report of it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "buffer/FileFormat.h"

namespace kestrel {

enum class ImageFault {
  None,
  // HEX and S-record texts
  NoRecords,         // no line holds a record
  NoEndRecord,       // the text ends before an end record
  BadDigit,          // a character that is not a hexadecimal digit where one belongs
  CutRecord,         // the line or the text ends before the record's checksum
  TrailingText,      // more than blanks between the checksum and the line end
  BadChecksum,       // the record's checksum does not match its bytes
  BadAddressRecord,  // an Intel HEX extended address record without exactly two data bytes
  BadRecordType,     // an S-record type other than S0-S3 and S5-S9
  BadRecordLength,   // an S-record's length does not fit its type
  BadRecordCount,    // an S5 or S6 count differs from the data records before it
  // ELF files
  NotElf,         // no ELF identification at the start
  Elf64,          // a 64-bit ELF file
  NotExecutable,  // a relocatable object, a shared object or a core file
  BadElfHeader,   // a header or segment table that does not lie within the file
  NoProgramData,  // no loadable segment with data for program memory or EEPROM
  // every format
  TooLarge,  // the image would reach MaxImageSize
};

struct ImageReadResult {
  std::vector<std::uint8_t> image;  // empty unless fault is None
  ImageFault fault = ImageFault::None;
  std::size_t line = 0;  // texts: where the fault lies, counted from 1; CR LF, LF and CR each end a line
};

inline ImageReadResult Refused(ImageFault fault, std::size_t line = 0) {
  return {.image = {}, .fault = fault, .line = line};
}

// The status panel's report of a refused file, naming the file (without its folder) and, for
// texts, the line: "Ошибка в HEX-файле blink.hex, строка 12: неверная контрольная сумма".
std::string ImageFaultMessage(FileFormat format, const std::string& path, ImageFault fault, std::size_t line);

}  // namespace kestrel
