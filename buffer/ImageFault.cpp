#include "buffer/ImageFault.h"

#include "buffer/FilePath.h"

namespace kestrel {

namespace {

const char* Reason(ImageFault fault) {
  switch (fault) {
    case ImageFault::NoRecords:
      return "в файле нет ни одной записи";
    case ImageFault::NoEndRecord:
      return "нет записи конца файла";
    case ImageFault::BadDigit:
      return "недопустимый символ в записи";
    case ImageFault::CutRecord:
      return "запись обрывается раньше конца";
    case ImageFault::TrailingText:
      return "лишние символы после записи";
    case ImageFault::BadChecksum:
      return "неверная контрольная сумма";
    case ImageFault::BadAddressRecord:
      return "неверная длина записи адреса";
    case ImageFault::BadRecordType:
      return "неизвестный тип записи";
    case ImageFault::BadRecordLength:
      return "длина записи не подходит к её типу";
    case ImageFault::BadRecordCount:
      return "число записей данных не совпадает с записью-счётчиком";
    case ImageFault::NotElf:
      return "это не ELF-файл";
    case ImageFault::Elf64:
      return "64-разрядные ELF-файлы не поддерживаются";
    case ImageFault::NotExecutable:
      return "это не собранная программа (объектный файл или библиотека)";
    case ImageFault::BadElfHeader:
      return "заголовок или таблица сегментов повреждены";
    case ImageFault::NoProgramData:
      return "нет загружаемых данных программы";
    case ImageFault::TooLarge:  // reported by the size warning
    case ImageFault::None:
      break;
  }
  return "";
}

const char* FileKind(FileFormat format) {
  switch (format) {
    case FileFormat::IntelHex:
      return "HEX-файле";
    case FileFormat::SRecord:
      return "SREC-файле";
    case FileFormat::Elf:
      return "ELF-файле";
    case FileFormat::Binary:
      break;
  }
  return "файле";
}

}  // namespace

std::string ImageFaultMessage(FileFormat format, const std::string& path, ImageFault fault,
                              std::size_t line) {
  std::string message =
      std::string("Ошибка в ") + FileKind(format) + " " + FileName(FilePath(path).filename());
  if (line != 0) message += ", строка " + std::to_string(line);
  return message + ": " + Reason(fault);
}

}  // namespace kestrel
