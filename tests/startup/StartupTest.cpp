#include <QAction>
#include <QMenuBar>
#include <QTest>

#include <cstdlib>

#include <gtest/gtest.h>

#include "app/AboutWindow.h"
#include "startup/App.h"
#include "app/FileTypes.h"
#include "app/Prefs_Modul.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/TempDir.h"
#include "ui/MainWindow.h"

namespace kolvane {
namespace {

using test::ModalAnswerer;
using test::PumpUntil;

// Runs the program's start-up wiring in this process, with a temporary Preferences
// folder; the test program's own application object comes back afterwards.
class StartUp : public testing::Test {
 protected:
  void SetUp() override {
    previous = _GetAppObject();
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    _InitFileTypes();
    _NewAppInstance();
    _ApplicationAddMenuHandlers();
  }
  void TearDown() override {
    for (const char* name : {"MainWindow.MainWindow", "AboutWindow.AboutWindow", "WarnWindow.WarnWindow"}) {
      if (const Ref<Window> w = Window::_GetImplicitWindow(name)) w->Close();
    }
    _RuntimeRegisterAppObject(previous);
  }
  static QAction* MenuAction(QWidget* window, const QString& text) {
    for (QAction* a : window->findChildren<QAction*>()) {
      if (a->text() == text) return a;
    }
    return nullptr;
  }

  test::TempDir config;
  Ref<Application> previous;
};

TEST_F(StartUp, TheWiringMakesOneApplicationWithItsMenu) {
  ASSERT_TRUE(App());
  EXPECT_EQ(Menu().get(), Menu().get());
  EXPECT_EQ(App()->MenuBar().get(), Menu().get());
  EXPECT_TRUE(FileTypeRegistered("text"));
  EXPECT_TRUE(FileTypeRegistered("application/binary"));
  bool hasAbout = false;
  for (const MenuItemDesign& item : Menu()->Items()) hasAbout = hasAbout || item.name == String("AboutMenue");
  EXPECT_TRUE(hasAbout);
}

TEST_F(StartUp, OpenShowsTheSplashThenLoadsThePreferencesThenShowsTheMainWindow) {
  ModalAnswerer answerer;
  App()->Event_Open();
  // The splash did not hold start-up up: it is still on screen next to the main window.
  const Ref<Window> splash = Window::_GetImplicitWindow("AboutWindow.AboutWindow");
  ASSERT_TRUE(splash);
  EXPECT_TRUE(splash->Widget()->isVisible());
  const Ref<Window> main = Window::_GetImplicitWindow("MainWindow.MainWindow");
  ASSERT_TRUE(main);
  EXPECT_TRUE(main->Widget()->isVisible());
  EXPECT_EQ(test::ReadFile(config / "Kolvane_Prefs.txt"), "");
  EXPECT_TRUE(answerer.Seen().empty());
  // The menu is reachable from the main window.
  EXPECT_TRUE(main->Widget()->findChild<QMenuBar*>());
  EXPECT_TRUE(MenuAction(main->Widget(), "About Kolvane"));
  EXPECT_TRUE(MenuAction(main->Widget(), "Quit"));
}

TEST_F(StartUp, AFailingPreferencesStoreLeavesNoMainWindow) {
  test::WriteFile(config / "not-a-folder", "");
  ::setenv("XDG_CONFIG_HOME", (config / "not-a-folder").c_str(), 1);
  ModalAnswerer answerer;
  App()->Event_Open();
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"Exception in Prefs:Initialize"});
  EXPECT_FALSE(Window::_GetImplicitWindow("MainWindow.MainWindow"));
  EXPECT_TRUE(Window::_GetImplicitWindow("AboutWindow.AboutWindow"));
}

TEST_F(StartUp, TheAboutItemShowsTheBoxModallyUntilItCloses) {
  ModalAnswerer answerer({test::Run([](QWidget* dialog) {
    QTest::mouseClick(dialog->findChild<QWidget*>("content"), Qt::LeftButton);
  })});
  EXPECT_FALSE(App()->_AboutMenue_Action());
  EXPECT_EQ(answerer.Seen().size(), 1u);
  EXPECT_FALSE(Window::_GetImplicitWindow("AboutWindow.AboutWindow"));
}

TEST_F(StartUp, TheAboutItemFromTheMenuReachesTheHandler) {
  App()->Event_Open();
  const Ref<Window> main = Window::_GetImplicitWindow("MainWindow.MainWindow");
  ASSERT_TRUE(main);
  QAction* about = MenuAction(main->Widget(), "About Kolvane");
  ASSERT_TRUE(about);
  // The splash is the box the item shows; a click closes it and the handler returns.
  ModalAnswerer answerer({test::Run([](QWidget* dialog) {
    QTest::mouseClick(dialog->findChild<QWidget*>("content"), Qt::LeftButton);
  })});
  about->trigger();
  EXPECT_EQ(answerer.Seen().size(), 1u);
  EXPECT_FALSE(Window::_GetImplicitWindow("AboutWindow.AboutWindow"));
}

}  // namespace
}  // namespace kolvane
