#include "buffer/WorkingFile.h"

#include <gtest/gtest.h>

#include "buffer/FileIo.h"
#include "buffer/Shutdown.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

class Choice : public ::testing::Test {
 protected:
  Choice() {
    WriteFile(dir.File("old.bin"), Bytes{1, 2, 3});
    WriteFile(dir.File("new.bin"), Bytes{9, 9});
    t.session.WorkingFileName = dir.File("old.bin");
    t.session.DataBuffer = {1, 0xEE, 3};  // one unsaved edit
    t.session.BufferModified = true;
  }

  // The browser's click: the prompt, then the choice of `selected`.
  void Click(const std::optional<std::string>& selected) {
    if (OfferToSaveEdits(t.session, save)) ChooseWorkingFile(t.session, selected);
  }

  ScratchDir dir;
  FakeLink t;
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
  EXPECT_TRUE(t.session.BufferModified);
  EXPECT_EQ(t.session.DataBuffer, (Bytes{1, 0xEE, 3}));
}

TEST_F(Choice, WithoutEditsNothingIsAskedAndNoSelectionReloadsTheWorkingFile) {
  t.session.BufferModified = false;
  Click(std::nullopt);
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(t.session.DataBuffer, (Bytes{1, 2, 3}));
  EXPECT_EQ(t.session.WorkingFileName, dir.File("old.bin"));

  // Before any choice: the status names no file and nothing is loaded.
  FakeLink fresh;
  EXPECT_FALSE(ChooseWorkingFile(fresh.session, std::nullopt));
  EXPECT_EQ(fresh.view.statusHistory, std::vector<std::string>{"Рабочий файл: "});
  EXPECT_TRUE(fresh.session.DataBuffer.empty());
}

namespace {

class RecordingSteps : public ShutdownSteps {
 public:
  std::vector<std::string> steps;
  void StoreSettings() override { steps.push_back("settings"); }
  void ClearRts() override { steps.push_back("rts"); }
  void ClearDtr() override { steps.push_back("dtr"); }
  void Pause(std::chrono::milliseconds duration) override {
    steps.push_back("pause " + std::to_string(duration.count()));
  }
  void StopWatchdog() override { steps.push_back("timer2"); }
  void ClearLayoutReady() override { steps.push_back("layout"); }
  void StopBrowserTimer() override { steps.push_back("timer1"); }
};

const std::vector<std::string> AllSteps = {"settings", "rts",    "dtr",   "pause 500",
                                           "timer2",   "layout", "timer1"};

}  // namespace

TEST_F(Choice, CloseRunsEveryStepInOrderWithoutReloading) {
  for (Answer answer : {Answer::Yes, Answer::No}) {
    RecordingSteps steps;
    t.session.BufferModified = true;
    t.session.DataBuffer = {1, 0xEE, 3};
    t.view.answers = {answer};
    saves = 0;
    EXPECT_TRUE(FormClose(t.session, save, steps));
    EXPECT_EQ(steps.steps, AllSteps);
    EXPECT_EQ(saves, answer == Answer::Yes ? 1 : 0);
    EXPECT_FALSE(t.session.BufferModified);
    EXPECT_TRUE(t.session.DataBuffer.empty());
  }
  EXPECT_TRUE(t.view.statusHistory.empty());  // no reload at close

  // Without edits nothing is asked.
  RecordingSteps steps;
  t.view.questions.clear();
  EXPECT_TRUE(FormClose(t.session, save, steps));
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(steps.steps, AllSteps);
}
