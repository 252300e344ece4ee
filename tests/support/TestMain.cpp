// Every test binary runs on Qt's offscreen platform, so no display is needed.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/Application.h"
#include "platform/Window.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  kolvane::InitializeRuntime();
  // Tests close every window they open; that must not end the test program.
  QApplication::setQuitOnLastWindowClosed(false);
  // Windows read the application's name and versions, as in the program.
  kolvane::_RuntimeRegisterAppObject(kolvane::New<kolvane::Application>());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
