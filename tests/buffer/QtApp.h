#pragma once
// One application object for a widget test program, made before the first test runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "tests/buffer/WaitFor.h"

namespace kestrel {

class QtAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "buffer_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

inline const auto* const qtAppEnvironment = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace kestrel
