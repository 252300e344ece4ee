// Drops on the shown main window's tab panel and on the controls of its pages: the first
// dropped item decides, and only a local file or folder is taken.
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Drop.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/TempDir.h"
#include "tests/ui/ShownMainWindow.h"

namespace kolvane {
namespace {

namespace fs = std::filesystem;
using test::ListNames;
using test::ModalAnswerer;
using test::ReadFile;
using test::TempDir;
using test::Tree;
using test::WriteFile;
using Names = std::vector<std::string>;

constexpr const char* kDone = "Conversion done successfull.";

QUrl File(const fs::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }
const QUrl kWeb("https://example.org/letter.txt");

class MainWindowDrop : public test::ShownMainWindow {
 protected:
  void SetUp() override {
    ShownMainWindow::SetUp();
    if (HasFatalFailure()) return;
    fs::create_directories(drops / "Docs");
    WriteFile(drops / "Docs" / "x.txt", "x\r");
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(drops / name, "\x8A\r");
  }

  int Tab() const { return w->ControlByName<TabPanel>("myPanel")->Value(); }

  void BringPageOf(const char* control) {
    const std::int32_t page = w->ControlByName<RectControl>(control)->TabPanelIndex();
    if (page > 0) w->ControlByName<TabPanel>("myPanel")->SetValue(page - 1);
  }

  // Brings the control's page to the front and drops the items on the control; returns
  // whether the drag was taken in, and the texts of the dialogs that followed.
  bool DropOn(const char* control, const QList<QUrl>& items, Names& seen) {
    BringPageOf(control);
    ModalAnswerer answerer;
    const bool taken = test::DropUrls(w->ControlByName<RectControl>(control)->Widget(), items);
    seen = answerer.Texts();
    return taken;
  }

  TempDir dir;
  const fs::path drops = dir / "drops";
};

TEST_F(MainWindowDrop, AWebAddressFirstIsRefusedWhateverFollows) {
  for (const char* target : {"myPanel", "StaticText3", "StaticText1"}) {
    SCOPED_TRACE(target);
    BringPageOf(target);
    const int tab = Tab();
    for (const QUrl& local : {File(drops / "a.txt"), File(drops / "Docs")}) {
      Names seen;
      EXPECT_FALSE(DropOn(target, {kWeb, local}, seen));
      EXPECT_TRUE(seen.empty()) << testing::PrintToString(seen);
    }
    EXPECT_EQ(ListNames(drops), (Names{"Docs", "a.txt", "b.txt", "c.txt"}));
    EXPECT_FALSE(w->SourceFolder);
    EXPECT_EQ(Tab(), tab);
  }
}

TEST_F(MainWindowDrop, ALocalFileFirstIsTakenWhateverFollows) {
  Names seen;
  EXPECT_TRUE(DropOn("myPanel", {File(drops / "a.txt"), kWeb, File(drops / "b.txt")}, seen));
  EXPECT_EQ(seen, Names{kDone});
  EXPECT_EQ(ReadFile(drops / "a_Converted.txt"), "\xE4\r");
  EXPECT_FALSE(fs::exists(drops / "b_Converted.txt"));
}

// The panel itself and, on either page, labels, read-only path fields, disabled buttons and
// the progress display.
class MainWindowDropOnControl : public MainWindowDrop, public testing::WithParamInterface<const char*> {};

TEST_P(MainWindowDropOnControl, ConvertsOnlyTheFirstOfSeveralFiles) {
  const char* target = GetParam();
  if (const Ref<PushButton> b = RefCast<PushButton>(w->FindControl(target))) {
    ASSERT_FALSE(b->Enabled());
  }
  if (const Ref<BevelButton> b = RefCast<BevelButton>(w->FindControl(target))) {
    ASSERT_FALSE(b->Enabled());
  }
  Names seen;
  EXPECT_TRUE(DropOn(target, {File(drops / "a.txt"), File(drops / "b.txt"), File(drops / "c.txt")}, seen));
  EXPECT_EQ(seen, Names{kDone});
  EXPECT_EQ(ListNames(drops), (Names{"Docs", "a.txt", "a_Converted.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(ReadFile(drops / "a_Converted.txt"), "\xE4\r");
}

TEST_P(MainWindowDropOnControl, RunsAFolderDroppedFirst) {
  Names seen;
  EXPECT_TRUE(DropOn(GetParam(), {File(drops / "Docs"), File(drops / "a.txt")}, seen));
  EXPECT_EQ(seen, Names{kDone});
  EXPECT_EQ(Tree(drops / "Docs_Converted"), Names{"x.txt"});
  EXPECT_FALSE(fs::exists(drops / "a_Converted.txt"));
  EXPECT_EQ(Tab(), 1);
}

INSTANTIATE_TEST_SUITE_P(MainWindowDrop, MainWindowDropOnControl,
                         testing::Values("myPanel", "StaticText3", "SourceFileField", "ConvertSingleBtn",
                                         "StaticText7", "StaticText1", "SourceDirectoryField",
                                         "TargetDirectoryField", "TargetDirSelectBtn", "ConvertBatchBtn",
                                         "StatusBar", "StatusText"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
}  // namespace kolvane
