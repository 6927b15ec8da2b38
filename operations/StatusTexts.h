#pragma once
// The operations' texts as the caption, the status panel and the message boxes show them, made
// in this one place from the results behind them, which a program without windows takes as
// values instead.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

// The signature reply: the chip's bytes and the device's verdict on them (none when the reply
// ends before it).
struct Signature {
  std::vector<std::uint8_t> bytes;
  std::optional<bool> verdict;
};

inline constexpr char NotConnectedCaption[] = "Программатор не подключен";
inline constexpr char AllCorrectText[] = "Все верно.";
inline constexpr char OperationAbortedText[] = "Операция прервана!";
inline constexpr char GiveUpWarning[] = "Не могу выполнить команду!\n\rОчередь команд очищена.";
inline constexpr char ClippedWriteText[] = "Запишу только то, что войдет в микросхему!";
inline constexpr char ReloadFailedText[] = "Не удалось загрузить рабочий файл!";
// A write or verify with no byte of the buffer inside the chip memory: nothing goes out.
inline constexpr char NothingToWriteText[] = "Буфер пуст: записывать нечего.";
inline constexpr char NothingToVerifyText[] = "Буфер пуст: сверять нечего.";

// "Сигнатура: 1E 95 F верна": the bytes in hexadecimal without leading zeros, then the verdict.
std::string SignatureText(const Signature& signature);
// The first block whose verification failed, by its address in hexadecimal.
std::string VerifyMismatchText(std::uint32_t address);
// A memory size over MaxMemorySize; `memory` names the memory in the genitive.
std::string ImpossibleSizeText(const char* memory, std::uint32_t size);

}  // namespace kestrel
