// What the shown main window has on screen when a dialog opens over a folder run: the
// status line and the bar as the toolkit shows and last painted them, not only the
// values the program keeps.
#include <sys/stat.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Drop.h"
#include "tests/support/Modal.h"
#include "tests/support/TempDir.h"
#include "tests/ui/ShownMainWindow.h"

namespace kolvane {
namespace {

namespace fs = std::filesystem;
using test::ModalAnswerer;
using test::TempDir;
using test::WriteFile;
using Names = std::vector<std::string>;

constexpr const char* kDone = "Conversion done successfull.";
constexpr const char* kFileError = "application error in p_ConvertFile";

std::string Progress(int done, int total) {
  return std::to_string(done) + " of " + std::to_string(total) + " (hit esc to stop)";
}

// The progress display on screen at one moment.
struct Screen {
  std::string shownText;     // the label's text
  int shownValue = -1;       // the bar's value and maximum
  int shownMaximum = -1;
  std::string paintedText;   // the same, as last painted
  int paintedValue = -1;
  int paintedMaximum = -1;
};

// Follows the paints of the status line and the bar, and takes what the screen shows
// whenever a modal window appears.
class ScreenWatch : public QObject {
 public:
  ScreenWatch(QLabel* label, QProgressBar* bar) : label_(label), bar_(bar) {
    label_->installEventFilter(this);
    bar_->installEventFilter(this);
    qApp->installEventFilter(this);
  }
  ~ScreenWatch() override { qApp->removeEventFilter(this); }

  std::vector<Screen> atModalShow;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      if (watched == label_) now_.paintedText = label_->text().toStdString();
      if (watched == bar_) {
        now_.paintedValue = bar_->value();
        now_.paintedMaximum = bar_->maximum();
      }
    } else if (e->type() == QEvent::Show && watched->isWidgetType()) {
      const auto* w = static_cast<QWidget*>(watched);
      if (w->isWindow() && w->isModal()) {
        Screen s = now_;
        s.shownText = label_->text().toStdString();
        s.shownValue = bar_->value();
        s.shownMaximum = bar_->maximum();
        atModalShow.push_back(s);
      }
    }
    return false;
  }

 private:
  QLabel* label_;
  QProgressBar* bar_;
  Screen now_;
};

class MainWindowScreen : public test::ShownMainWindow {
 protected:
  void SetUp() override {
    ShownMainWindow::SetUp();
    if (HasFatalFailure()) return;
    fs::create_directory(docs);
  }

  QLabel* Label() const { return static_cast<QLabel*>(w->ControlByName<StaticText>("StatusText")->Widget()); }
  QProgressBar* Bar() const {
    return static_cast<QProgressBar*>(w->ControlByName<ProgressBar>("StatusBar")->Widget());
  }

  // Drops the folder on the tab panel and answers every dialog with its default button;
  // returns their texts, with what the screen showed as each appeared.
  Names DropDocs(std::vector<Screen>& screens) {
    ScreenWatch watch(Label(), Bar());
    ModalAnswerer answerer;
    test::DropPaths(w->ControlByName<TabPanel>("myPanel")->Widget(), {docs});
    screens = watch.atModalShow;
    return answerer.Texts();
  }

  static void ExpectOnScreen(const Screen& s, int done, int total) {
    EXPECT_EQ(s.shownText, Progress(done, total));
    EXPECT_EQ(s.paintedText, Progress(done, total));
    EXPECT_EQ(s.shownValue, done);
    EXPECT_EQ(s.shownMaximum, total);
    EXPECT_EQ(s.paintedValue, done);
    EXPECT_EQ(s.paintedMaximum, total);
  }

  TempDir dir;
  const fs::path docs = dir / "Docs";
};

TEST_F(MainWindowScreen, TheClosingNoticeOpensOverTheRunsLastProgress) {
  constexpr int kFiles = 50;
  for (int i = 0; i < kFiles; ++i) WriteFile(docs / ("f" + std::to_string(100 + i) + ".txt"), "x\r");
  std::vector<Screen> screens;
  ASSERT_EQ(DropDocs(screens), Names{kDone});
  ASSERT_EQ(screens.size(), 1u);
  ExpectOnScreen(screens[0], kFiles, kFiles);
}

TEST_F(MainWindowScreen, AMessageBoxMidRunOpensOverTheCountSoFar) {
  // A FIFO is never opened for reading, so it fails its file for root too.
  WriteFile(docs / "a.txt", "a");
  WriteFile(docs / "b.txt", "b");
  ASSERT_EQ(::mkfifo((docs / "c.pipe").c_str(), 0600), 0);
  WriteFile(docs / "d.txt", "d");
  std::vector<Screen> screens;
  ASSERT_EQ(DropDocs(screens), (Names{kFileError, kDone}));
  ASSERT_EQ(screens.size(), 2u);
  ExpectOnScreen(screens[0], 2, 4);
  ExpectOnScreen(screens[1], 3, 4);
}

// A run that ends without a word (no folder can be made for the copy) still leaves the
// screen showing where it stands: the bar set back to the start of the new count.
TEST_F(MainWindowScreen, ARunEndingWithoutADialogLeavesTheScreenCurrent) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(docs / name, "x");
  std::vector<Screen> screens;
  ASSERT_EQ(DropDocs(screens), Names{kDone});
  ASSERT_EQ(Bar()->value(), 3);
  WriteFile(docs / "d.txt", "x");
  fs::remove_all(dir / "Docs_Converted");
  WriteFile(dir / "Docs_Converted", "in the way");
  ModalAnswerer answerer;
  test::DropPaths(w->ControlByName<TabPanel>("myPanel")->Widget(), {docs});
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(w->ControlByName<ProgressBar>("StatusBar")->Value(), 0);
  EXPECT_EQ(Bar()->maximum(), 4);
  EXPECT_EQ(Bar()->value(), 0);
}

}  // namespace
}  // namespace kolvane
