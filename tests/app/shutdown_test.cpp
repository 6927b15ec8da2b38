#include "app/Shutdown.h"

#include <gtest/gtest.h>

#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

class RecordingSteps : public ShutdownSteps {
 public:
  std::vector<std::string> steps;
  void StoreSettings() override { steps.push_back("settings"); }
  void DropModemLines() override { steps.push_back("modem lines"); }
  void Pause(std::chrono::milliseconds duration) override {
    steps.push_back("pause " + std::to_string(duration.count()));
  }
  void StopWatchdog() override { steps.push_back("timer2"); }
  void ClearLayoutReady() override { steps.push_back("layout"); }
  void StopBrowserTimer() override { steps.push_back("timer1"); }
};

const std::vector<std::string> AllSteps = {"settings", "modem lines", "pause 500",
                                           "timer2",   "layout",      "timer1"};

class Close : public ::testing::Test {
 protected:
  FakeImage t;
  int saves = 0;
  SaveBufferFn save = [this] {
    ++saves;
    return true;
  };
};

}  // namespace

TEST_F(Close, RunsEveryStepInOrderWithoutReloading) {
  for (Answer answer : {Answer::Yes, Answer::No}) {
    RecordingSteps steps;
    t.image.SetBufferModified(true);
    t.image.Assign(Bytes{1, 0xEE, 3});
    t.view.answers = {answer};
    saves = 0;
    EXPECT_TRUE(FormClose(t.image, save, steps));
    EXPECT_EQ(steps.steps, AllSteps);
    EXPECT_EQ(saves, answer == Answer::Yes ? 1 : 0);
    EXPECT_FALSE(t.image.BufferModified());
    EXPECT_TRUE(t.image.DataBuffer().empty());
  }
  EXPECT_TRUE(t.view.statusHistory.empty());  // no reload at close

  // Without edits nothing is asked.
  RecordingSteps steps;
  t.view.questions.clear();
  EXPECT_TRUE(FormClose(t.image, save, steps));
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(steps.steps, AllSteps);
}
