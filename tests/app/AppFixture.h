#pragma once
// What the application-shell tests share: the program's application object for the whole test
// program, a scratch settings scope per test, modal boxes answered by the test, and the windows
// created over a fake serial driver.

#include <gtest/gtest.h>

#include <QSettings>
#include <functional>
#include <memory>
#include <vector>

#include "app/KestrelApplication.h"
#include "app/MessageBoxes.h"
#include "app/Startup.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/FakeSerialDriver.h"
#include "tests/support/Pty.h"

namespace kestrel::test {

inline const auto* const kestrelApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<KestrelApplication>);

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_.Path()));
    responder_ = [this](const ModalRequest& request) {
      return std::pair{answer_, request.kind == ModalRequest::SaveFile ? savePath_ : QString()};
    };
    SetModalResponder(responder_);
  }

  void TearDown() override {
    DestroyForms();
    SetModalResponder(nullptr);
  }

  // Starts the program's windows over a fresh fake driver, which `prepare` may set up first; the
  // previous run's windows go before, as at the end of a run of the program.
  void StartProgram(const std::function<void(FakeSerialState&)>& prepare = {}) {
    DestroyForms();
    SetModalResponder(responder_);
    serial_ = std::make_shared<FakeSerialState>();
    if (prepare) prepare(*serial_);
    CreateForms(std::make_unique<FakeSerialDriver>(serial_));
  }

  // The settings store, read and written as the program's own key.
  static QVariant Stored(const QString& name) { return Key().value(name); }
  static void Store(const QString& name, const QVariant& value) {
    auto key = Key();
    key.setValue(name, value);
  }
  static QSettings Key() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARVELIN"),
                     QStringLiteral("KESTREL"));
  }

  static std::vector<ModalRequest> Asked() { return ModalRequests(); }

  ModalResponder responder_;
  TempConfigHome home_;
  std::shared_ptr<FakeSerialState> serial_;
  Answer answer_ = Answer::Yes;
  QString savePath_;
};

}  // namespace kestrel::test
