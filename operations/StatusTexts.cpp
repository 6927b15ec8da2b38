#include "operations/StatusTexts.h"

#include "buffer/HexDigits.h"

namespace kestrel {

std::string SignatureText(const Signature& signature) {
  std::string text = "Сигнатура:";
  for (const std::uint8_t byte : signature.bytes) text += " " + HexText(byte);
  if (signature.verdict) text += *signature.verdict ? " верна" : " не верна!";
  return text;
}

std::string VerifyMismatchText(std::uint32_t address) {
  return "Ошибка по адресу " + HexText(address) + ". Попробуйте программировать снова!";
}

std::string ImpossibleSizeText(const char* memory, std::uint32_t size) {
  return std::string("Программатор сообщил невозможный размер ") + memory + ": " + std::to_string(size) +
         " байт";
}

}  // namespace kestrel
