#pragma once
// One application object for a widget test program, made before the first test runs.

#include <gtest/gtest.h>

#include <QApplication>
#include "tests/buffer/WaitFor.h"
#include "tests/support/ApplicationEnvironment.h"

namespace kestrel {

inline const auto* const qtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment<QApplication>);

}  // namespace kestrel
