// The main window shown on screen as the program opens it, for tests of what a user sees
// of it and drops on it; closed afterwards, with any notice still open.
#pragma once

#include <QTest>

#include <gtest/gtest.h>

#include "app/FileTypes.h"
#include "ui/MainWindow.h"

namespace kolvane::test {

class ShownMainWindow : public testing::Test {
 protected:
  void SetUp() override {
    FileTypes::_Initialize();
    w = MainWindow();
    w->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w->Widget()));
  }

  void TearDown() override {
    for (const char* name : {"WarnWindow.WarnWindow", "MainWindow.MainWindow"}) {
      if (const Ref<Window> open = Window::_GetImplicitWindow(name)) open->Close();
    }
  }

  Ref<class MainWindow> w;
};

}  // namespace kolvane::test
