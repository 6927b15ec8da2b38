#include "buffer/WorkingFile.h"

#include <gtest/gtest.h>

#include "buffer/FileIo.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

class Choice : public ::testing::Test {
 protected:
  Choice() {
    WriteFile(dir.File("old.bin"), Bytes{1, 2, 3});
    WriteFile(dir.File("new.bin"), Bytes{9, 9});
    t.image.SetWorkingFileName(dir.File("old.bin"));
    t.image.Assign(Bytes{1, 0xEE, 3});  // one unsaved edit
    t.image.SetBufferModified(true);
  }

  // The browser's click: the prompt, then the choice of `selected`.
  void Click(const std::optional<std::string>& selected) {
    if (OfferToSaveEdits(t.image, save)) ChooseWorkingFile(t.image, selected, /*understandHex=*/false);
  }

  ScratchDir dir;
  FakeImage t;
  int saves = 0;
  bool saveCompletes = true;
  SaveBufferFn save = [this] {
    ++saves;
    return saveCompletes;
  };
};

}  // namespace

TEST_F(Choice, AFailingSaveEndsTheChoiceWithTheEditsKept) {
  t.view.answers = {Answer::Yes};
  save = []() -> bool { throw FileError("Не удалось сохранить файл"); };
  EXPECT_THROW(Click(dir.File("new.bin")), FileError);
  EXPECT_TRUE(t.image.BufferModified());
  EXPECT_EQ(t.image.DataBuffer(), (Bytes{1, 0xEE, 3}));
}

TEST_F(Choice, WithoutEditsNothingIsAskedAndNoSelectionReloadsTheWorkingFile) {
  t.image.SetBufferModified(false);
  Click(std::nullopt);
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(t.image.DataBuffer(), (Bytes{1, 2, 3}));
  EXPECT_EQ(t.image.WorkingFileName(), dir.File("old.bin"));

  // Before any choice: the status names no file and nothing is loaded.
  FakeImage fresh;
  EXPECT_FALSE(ChooseWorkingFile(fresh.image, std::nullopt, /*understandHex=*/false));
  EXPECT_EQ(fresh.view.statusHistory, std::vector<std::string>{"Рабочий файл: "});
  EXPECT_TRUE(fresh.image.DataBuffer().empty());
}
