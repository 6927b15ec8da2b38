#pragma once
// One application object for a whole widget test program, made before its first test runs.

#include <gtest/gtest.h>

#include <memory>

namespace kestrel::test {

template <class Application>
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { application_ = std::make_unique<Application>(argc_, argv_); }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "kestrel_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<Application> application_;
};

}  // namespace kestrel::test
