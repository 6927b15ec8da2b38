#include "cli/ImageFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/buffer/ScratchFiles.h"

using namespace kestrel;
using namespace kestrel::cli;

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(ImageFiles, HexByNameInAnyCaseAndFaultsNameFileAndLine) {
  const ScratchDir dir;
  const std::string hex = dir.File("fw.HeX");
  WriteText(hex, ":0200000001AB52\r\n:00000001FF\r\n");
  EXPECT_EQ(LoadImage(hex).image, (Image{0x01, 0xAB}));

  const std::string raw = dir.File("fw.hex.bin");
  WriteText(raw, ":0200000001AB52\r\n");
  EXPECT_EQ(LoadImage(raw).image.size(), 17u);

  WriteText(hex, ":0200000001AB52\r\n:0200020001AB00\r\n:00000001FF\r\n");
  EXPECT_EQ(LoadImage(hex).error, hex + ": line 2: wrong checksum");
  EXPECT_EQ(LoadImage(dir.File("none.bin")).error, dir.File("none.bin") + ": no such file");

  Job job;
  job.actions = {Action{ActionKind::Info}, Action{ActionKind::Write, Memory::Flash, hex}};
  EXPECT_EQ(LoadInputImages(job).error, "write flash: " + hex + ": line 2: wrong checksum");
}

TEST(ImageFiles, SavedHexReadsBackAboveSixtyFourKilobytes) {
  const ScratchDir dir;
  Image image(0x10010);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  const std::string hex = dir.File("big.hex");
  EXPECT_FALSE(SaveImage(hex, image));
  EXPECT_EQ(LoadImage(hex).image, image);
  EXPECT_EQ(SaveImage(dir.File("missing/x.bin"), image),
            dir.File("missing/x.bin") + ": no such file or directory");
  EXPECT_EQ(LoadImage(dir.Path().string()).error, dir.Path().string() + ": is a directory");
}
