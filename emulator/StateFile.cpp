#include "emulator/StateFile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "buffer/FileIo.h"

namespace kestrel::emulator {

namespace {

constexpr std::string_view Magic = "KESTREL-EMULATOR-STATE-1\n";
constexpr std::size_t MaxSignatureSize = 16;

void PutU32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutBlock(Bytes& out, const Bytes& block) {
  PutU32(out, static_cast<std::uint32_t>(block.size()));
  out.insert(out.end(), block.begin(), block.end());
}

// The blocks of one chip, in file order.
template <class State>
auto Blocks(State& chip) {
  return std::array{&chip.flash, &chip.eeprom, &chip.fuses, &chip.locks, &chip.signature};
}

class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}
  bool Take(std::size_t count, std::span<const std::uint8_t>& out) {
    if (count > bytes_.size() - pos_) return false;
    out = std::span(bytes_).subspan(pos_, count);
    pos_ += count;
    return true;
  }
  bool U32(std::uint32_t& value) {
    std::span<const std::uint8_t> raw;
    if (!Take(4, raw)) return false;
    value = ReadU32(raw, 0);
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  const Bytes& bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

void SaveChipStates(const std::filesystem::path& file, const std::vector<ChipState>& chips,
                    const std::vector<ChipType>& catalogue) {
  Bytes out(Magic.begin(), Magic.end());
  PutU32(out, static_cast<std::uint32_t>(chips.size()));
  for (std::size_t i = 0; i < chips.size(); ++i) {
    const std::string& name = catalogue[i].name;
    out.push_back(static_cast<std::uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    for (const Bytes* block : Blocks(chips[i])) PutBlock(out, *block);
  }

  if (const int error = TryReplaceFileContents(file.string(), out))
    throw std::system_error(error, std::generic_category(), "store " + file.string());
}

void CheckStateFolder(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::path folder = std::filesystem::weakly_canonical(file, ignored).parent_path();
  if (folder.empty()) folder = file.parent_path().empty() ? "." : file.parent_path();
  if (!std::filesystem::is_directory(folder))
    throw std::runtime_error("the state file's folder " + folder.string() + " does not exist");
  if (::access(folder.c_str(), W_OK) != 0)
    throw std::runtime_error("the state file's folder " + folder.string() +
                             " cannot be written to: " + std::generic_category().message(errno));
}

bool LoadChipStates(const std::filesystem::path& file, std::vector<ChipState>& chips,
                    const std::vector<ChipType>& catalogue) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Reader reader(bytes);
  std::span<const std::uint8_t> magic;
  if (!reader.Take(Magic.size(), magic) || !std::equal(magic.begin(), magic.end(), Magic.begin()))
    return false;

  std::vector<ChipState> loaded = chips;
  std::uint32_t count = 0;
  if (!reader.U32(count)) return false;
  for (std::uint32_t entry = 0; entry < count; ++entry) {
    std::span<const std::uint8_t> nameLength, name;
    if (!reader.Take(1, nameLength) || !reader.Take(nameLength[0], name)) return false;
    const auto type = std::find_if(catalogue.begin(), catalogue.end(), [&](const ChipType& t) {
      return std::equal(t.name.begin(), t.name.end(), name.begin(), name.end());
    });
    ChipState unknown;
    ChipState& chip =
        type == catalogue.end() ? unknown : loaded[static_cast<std::size_t>(type - catalogue.begin())];
    for (Bytes* block : Blocks(chip)) {
      std::uint32_t size = 0;
      std::span<const std::uint8_t> content;
      if (!reader.U32(size) || !reader.Take(size, content)) return false;
      const bool fits = block == &chip.signature ? size <= MaxSignatureSize : size == block->size();
      if (fits) block->assign(content.begin(), content.end());
    }
  }
  if (!reader.AtEnd()) return false;
  chips = std::move(loaded);
  return true;
}

}  // namespace kestrel::emulator
