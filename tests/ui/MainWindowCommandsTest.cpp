// The main window driven as a user drives it: clicks on its buttons, answers to its
// dialogs, drops on its tab panel and the Escape key, with real files in temporary folders.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>

#include <gtest/gtest.h>

#include "app/AboutWindow.h"
#include "app/FileTypes.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/Drop.h"
#include "tests/support/TempDir.h"
#include "ui/MainWindow.h"

namespace kolvane {
namespace {

using MainWindowClass = class MainWindow;
using test::Answer;
using test::ChoosePath;
using test::ListNames;
using test::ModalAnswerer;
using test::ReadFile;
using test::SeenDialog;
using test::TempDir;
using test::Tree;
using test::WriteFile;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr const char* kDone = "Conversion done successfull.";
constexpr const char* kBatchDone = "Conversion done.";

// "Märchen über Straße" with a Mac line end, in MacRoman and in ISO Latin1.
const std::string kMacRoman = "M\x8A" "rchen \x9F" "ber Stra\xA7" "e\r";
const std::string kLatin1 = "M\xE4" "rchen \xFC" "ber Stra\xDF" "e\r";

std::string Progress(int done, int total) {
  return std::to_string(done) + " of " + std::to_string(total) + " (hit esc to stop)";
}

// While it lives, the process may take only `more` bytes of address space beyond what it
// has, as on a small machine. The sanitizers' shadow memory rules such a limit out.
struct AddressSpaceLimit {
  explicit AddressSpaceLimit(std::size_t more) {
    ::getrlimit(RLIMIT_AS, &saved);
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word && word != "VmSize:") {}
    std::size_t kib = 0;
    status >> kib;
    const rlimit limited{kib * 1024 + more, saved.rlim_max};
    ::setrlimit(RLIMIT_AS, &limited);
  }
  ~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &saved); }
  rlimit saved;
};
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

Names TextsOf(const std::vector<SeenDialog>& seen) {
  Names out;
  for (const SeenDialog& d : seen) out.push_back(d.text);
  return out;
}

// What the user can see and use, and what the window remembers.
struct Snapshot {
  std::map<std::string, bool> enabled;
  std::map<std::string, std::string> texts;
  std::map<std::string, std::string> members;
  int tab = 0;
  bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& s, std::ostream* os) {
  *os << "{tab " << s.tab;
  for (const auto& [k, v] : s.enabled) *os << ", " << k << (v ? " on" : " off");
  for (const auto& [k, v] : s.texts) *os << ", " << k << "=\"" << v << '"';
  for (const auto& [k, v] : s.members) *os << ", " << k << "=" << v;
  *os << "}";
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    FileTypes::_Initialize();
    w = MainWindow();
  }

  void TearDown() override {
    // A test that held Escape must not leave it held for the next one.
    QTest::keyRelease(w->Widget(), Qt::Key_Escape);
    for (const char* name : {"WarnWindow.WarnWindow", "AboutWindow.AboutWindow", "MainWindow.MainWindow"}) {
      if (const Ref<Window> open = Window::_GetImplicitWindow(name)) open->Close();
    }
  }

  template <class T>
  Ref<T> C(const char* name) const {
    return w->ControlByName<T>(name);
  }
  QWidget* WidgetOf(const char* name) const { return C<RectControl>(name)->Widget(); }

  // The control's state as the program keeps it, checked against what the toolkit shows.
  bool Enabled(const char* name) const {
    const Ref<RectControl> c = C<RectControl>(name);
    EXPECT_EQ(c->Enabled(), c->Widget()->isEnabled()) << name;
    return c->Enabled();
  }

  std::string Status() const { return C<StaticText>("StatusText")->Text().Bytes(); }
  int Tab() const { return C<TabPanel>("myPanel")->Value(); }

  static std::string PathOf(const Ref<FolderItem>& item) { return item ? item->AbsolutePath().Bytes() : "none"; }

  Snapshot Take() const {
    Snapshot s;
    for (const char* name : {"ConvertSingleBtn", "ConvertBatchBtn", "SourceFileSelectBtn", "SourceDirSelectBtn",
                             "TargetDirSelectBtn", "DropText", "AboutBtn", "QuitBtn", "SourcePop", "TargetPop",
                             "LBSourcePop", "LBTargetPop", "ConvertLBCB"}) {
      s.enabled[name] = Enabled(name);
    }
    for (const char* name : {"SourceFileField", "SourceDirectoryField", "TargetDirectoryField"}) {
      s.texts[name] = C<TextField>(name)->Text().Bytes();
    }
    s.texts["StatusText"] = Status();
    s.members["SourceFile"] = PathOf(w->SourceFile);
    s.members["SourceFolder"] = PathOf(w->SourceFolder);
    s.members["TargetFolder"] = PathOf(w->TargetFolder);
    s.tab = Tab();
    return s;
  }

  // A click on the tab's title.
  void ShowTab(int index) {
    QTabBar* bar = WidgetOf("myPanel")->findChild<QTabBar*>();
    ASSERT_TRUE(bar);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    ASSERT_EQ(Tab(), index);
  }

  // Brings the control's page to the front, clicks the control and answers the dialogs
  // that follow from the queue (then with their default button); returns what they showed.
  std::vector<SeenDialog> Click(const char* name, std::deque<Answer> answers = {}) {
    const std::int32_t page = C<RectControl>(name)->TabPanelIndex();
    if (page > 0 && Tab() != page - 1) ShowTab(page - 1);
    ModalAnswerer answerer(std::move(answers));
    QTest::mouseClick(WidgetOf(name), Qt::LeftButton);
    return answerer.Seen();
  }

  void Choose(const char* button, const fs::path& path) {
    const auto seen = Click(button, {ChoosePath(path.string())});
    ASSERT_EQ(seen.size(), 1u) << "only the dialog itself";
  }
  void ChooseFile(const fs::path& file) { Choose("SourceFileSelectBtn", file); }
  void ChooseSource(const fs::path& folder) { Choose("SourceDirSelectBtn", folder); }
  void ChooseTarget(const fs::path& folder) { Choose("TargetDirSelectBtn", folder); }

  // Drags the paths over the tab panel and drops them, as the desktop would; returns the
  // dialogs the drop showed.
  std::vector<SeenDialog> Drop(const std::vector<fs::path>& paths) {
    ModalAnswerer answerer;
    test::DropPaths(WidgetOf("myPanel"), paths);
    return answerer.Seen();
  }

  static void ExpectOneNotice(const std::vector<SeenDialog>& seen, const char* text) {
    ASSERT_EQ(seen.size(), 1u) << testing::PrintToString(TextsOf(seen));
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].buttons, Names{"OK"});
    EXPECT_EQ(seen[0].defaultButton, "OK");
    EXPECT_TRUE(seen[0].title.ends_with("Hinweis!")) << seen[0].title;
  }

  TempDir dir;
  Ref<MainWindowClass> w;
};

// Keeps every new status line the window shows while a run yields: a zero-interval timer
// fires once per pass of the event loop, and a run passes through it after every item.
class StatusWatcher {
 public:
  StatusWatcher(const MainWindowClass& window, std::function<void(const std::string&)> onNewLine = {})
      : window_(window), onNewLine_(std::move(onNewLine)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(0);
  }

  Names lines;
  std::vector<std::pair<int, int>> bars;  // value and maximum when each line appeared

 private:
  void Tick() {
    const std::string line = window_.ControlByName<StaticText>("StatusText")->Text().Bytes();
    if (!lines.empty() && lines.back() == line) return;
    lines.push_back(line);
    const Ref<ProgressBar> bar = window_.ControlByName<ProgressBar>("StatusBar");
    bars.emplace_back(bar->Value(), bar->Maximum());
    if (onNewLine_) onNewLine_(line);
  }

  const MainWindowClass& window_;
  std::function<void(const std::string&)> onNewLine_;
  QTimer timer_;
};

// ---- Opening

using MainWindowOpening = MainWindowTest;

TEST_F(MainWindowOpening, PopupsHoldTheLabelsInTableOrderWithTheDefaultsSelected) {
  const Names encodings = {"MacRoman", "ISO Latin1", "Windows Latin1", "Windows ANSI", "UTF-8 (no BOM)"};
  const Names breaks = {"Mac Classic (CR)", "Windows (CRLF)", "Unix (LF)"};
  const struct {
    const char* name;
    const Names& rows;
    int selected;
  } pops[] = {{"SourcePop", encodings, 0}, {"TargetPop", encodings, 1},
              {"LBSourcePop", breaks, 0}, {"LBTargetPop", breaks, 1}};
  for (const auto& pop : pops) {
    SCOPED_TRACE(pop.name);
    const Ref<PopupMenu> p = C<PopupMenu>(pop.name);
    Names rows;
    for (std::int32_t i = 0; i < p->ListCount(); ++i) rows.push_back(p->List(i).Bytes());
    EXPECT_EQ(rows, pop.rows);
    EXPECT_EQ(p->ListIndex(), pop.selected);
    // What the user sees is what the program reads.
    auto* combo = static_cast<QComboBox*>(p->Widget());
    EXPECT_EQ(combo->count(), static_cast<int>(pop.rows.size()));
    EXPECT_EQ(combo->currentText().toStdString(), pop.rows[pop.selected]);
  }
}

TEST_F(MainWindowOpening, OnlyTheCommandsThatNeedNoChoiceAreEnabled) {
  const Snapshot s = Take();
  const std::map<std::string, bool> expected = {
      {"ConvertSingleBtn", false}, {"ConvertBatchBtn", false}, {"TargetDirSelectBtn", false},
      {"LBSourcePop", false},      {"LBTargetPop", false},     {"SourceFileSelectBtn", true},
      {"SourceDirSelectBtn", true}, {"DropText", true},        {"AboutBtn", true},
      {"QuitBtn", true},           {"SourcePop", true},        {"TargetPop", true},
      {"ConvertLBCB", true}};
  EXPECT_EQ(s.enabled, expected);
  EXPECT_FALSE(C<CheckBox>("ConvertLBCB")->Value());
  EXPECT_EQ(s.members, (std::map<std::string, std::string>{
                           {"SourceFile", "none"}, {"SourceFolder", "none"}, {"TargetFolder", "none"}}));
  EXPECT_EQ(s.texts, (std::map<std::string, std::string>{{"SourceFileField", ""},
                                                          {"SourceDirectoryField", ""},
                                                          {"TargetDirectoryField", ""},
                                                          {"StatusText", "-"}}));
  EXPECT_EQ(s.tab, 0);
  // Disabled buttons do nothing when clicked.
  EXPECT_TRUE(Click("ConvertSingleBtn").empty());
  EXPECT_TRUE(Click("ConvertBatchBtn").empty());
  EXPECT_EQ(Status(), "-");
}

TEST_F(MainWindowOpening, TheLineBreakPopupsFollowTheBoxAndKeepTheirChoices) {
  const Snapshot before = Take();
  Click("ConvertLBCB");
  ASSERT_TRUE(C<CheckBox>("ConvertLBCB")->Value());
  EXPECT_TRUE(Enabled("LBSourcePop"));
  EXPECT_TRUE(Enabled("LBTargetPop"));
  // Chosen with the keyboard: one row down each.
  QTest::keyClick(WidgetOf("LBSourcePop"), Qt::Key_Down);
  QTest::keyClick(WidgetOf("LBTargetPop"), Qt::Key_Down);
  EXPECT_EQ(C<PopupMenu>("LBSourcePop")->Text(), String("Windows (CRLF)"));
  EXPECT_EQ(C<PopupMenu>("LBTargetPop")->Text(), String("Unix (LF)"));

  Click("ConvertLBCB");
  EXPECT_FALSE(C<CheckBox>("ConvertLBCB")->Value());
  EXPECT_FALSE(Enabled("LBSourcePop"));
  EXPECT_FALSE(Enabled("LBTargetPop"));
  EXPECT_EQ(C<PopupMenu>("LBSourcePop")->ListIndex(), 1);
  EXPECT_EQ(C<PopupMenu>("LBTargetPop")->ListIndex(), 2);
  // Nothing else moved.
  EXPECT_EQ(Take(), before);

  Click("ConvertLBCB");
  EXPECT_TRUE(Enabled("LBSourcePop"));
  EXPECT_EQ(C<PopupMenu>("LBSourcePop")->ListIndex(), 1);
  EXPECT_EQ(C<PopupMenu>("LBTargetPop")->ListIndex(), 2);
  EXPECT_EQ(C<PopupMenu>("LBTargetPop")->ListCount(), 3);
}

// ---- Enabling rules

using MainWindowEnabling = MainWindowTest;

TEST_F(MainWindowEnabling, AChosenFileEnablesConvertAlone) {
  WriteFile(dir / "a.txt", "a");
  ChooseFile(dir / "a.txt");
  EXPECT_EQ(C<TextField>("SourceFileField")->Text(), String((dir / "a.txt").string()));
  EXPECT_EQ(PathOf(w->SourceFile), (dir / "a.txt").string());
  EXPECT_TRUE(Enabled("ConvertSingleBtn"));
  EXPECT_FALSE(Enabled("ConvertBatchBtn"));
  EXPECT_FALSE(Enabled("TargetDirSelectBtn"));
  EXPECT_TRUE(Enabled("SourceDirSelectBtn"));
  // The rules give the same answer however often they run.
  const Snapshot once = Take();
  w->p_ActivateControls();
  w->p_ActivateControls();
  EXPECT_EQ(Take(), once);
}

TEST_F(MainWindowEnabling, TheSourceFolderEnablesTheTargetSelectAndBothFoldersBatchConvert) {
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  ChooseSource(dir / "in");
  EXPECT_EQ(C<TextField>("SourceDirectoryField")->Text(), String((dir / "in").string()));
  EXPECT_EQ(PathOf(w->SourceFolder), (dir / "in").string());
  EXPECT_TRUE(Enabled("TargetDirSelectBtn"));
  EXPECT_FALSE(Enabled("ConvertBatchBtn"));
  EXPECT_FALSE(Enabled("ConvertSingleBtn"));  // no file, whatever the folders

  ChooseTarget(dir / "out");
  EXPECT_EQ(C<TextField>("TargetDirectoryField")->Text(), String((dir / "out").string()));
  EXPECT_EQ(PathOf(w->TargetFolder), (dir / "out").string());
  EXPECT_TRUE(Enabled("ConvertBatchBtn"));
  EXPECT_FALSE(Enabled("ConvertSingleBtn"));

  // A later choice replaces the earlier one; the target select stays enabled.
  fs::create_directory(dir / "other");
  ChooseSource(dir / "other");
  EXPECT_EQ(PathOf(w->SourceFolder), (dir / "other").string());
  EXPECT_TRUE(Enabled("TargetDirSelectBtn"));
  EXPECT_TRUE(Enabled("ConvertBatchBtn"));
  const Snapshot once = Take();
  w->p_ActivateControls();
  EXPECT_EQ(Take(), once);
}

TEST_F(MainWindowEnabling, ATargetWithoutASourceEnablesNoFolderCommand) {
  // No command sets the target alone; the rules must still not trust it.
  fs::create_directory(dir / "out");
  w->TargetFolder = New<FolderItem>((dir / "out").string());
  WriteFile(dir / "a.txt", "a");
  ChooseFile(dir / "a.txt");  // runs the rules
  EXPECT_TRUE(Enabled("ConvertSingleBtn"));
  EXPECT_FALSE(Enabled("ConvertBatchBtn"));
  EXPECT_FALSE(Enabled("TargetDirSelectBtn"));
}

TEST_F(MainWindowEnabling, AfterAFolderDropTheNextChoiceEnablesTheFolderCommandsToo) {
  fs::create_directories(dir / "drops" / "Docs");
  WriteFile(dir / "drops" / "Docs" / "a.txt", "a");
  ExpectOneNotice(Drop({dir / "drops" / "Docs"}), kDone);
  EXPECT_FALSE(Enabled("ConvertBatchBtn"));
  EXPECT_FALSE(Enabled("TargetDirSelectBtn"));

  WriteFile(dir / "b.txt", "b");
  ChooseFile(dir / "b.txt");
  EXPECT_TRUE(Enabled("ConvertSingleBtn"));
  EXPECT_TRUE(Enabled("TargetDirSelectBtn"));
  EXPECT_TRUE(Enabled("ConvertBatchBtn"));
  // The drop's folders are not shown.
  EXPECT_TRUE(C<TextField>("SourceDirectoryField")->Text().IsEmpty());
  EXPECT_TRUE(C<TextField>("TargetDirectoryField")->Text().IsEmpty());
}

// ---- Dialogs answered otherwise

using MainWindowDialogs = MainWindowTest;

TEST_F(MainWindowDialogs, CancellingAnyDialogChangesNothingAndShowsNothing) {
  // With nothing chosen yet.
  Snapshot before = Take();
  EXPECT_EQ(Click("SourceFileSelectBtn", {test::CancelDialog()}).size(), 1u);
  EXPECT_EQ(Click("SourceDirSelectBtn", {test::CancelDialog()}).size(), 1u);
  ShowTab(0);
  EXPECT_EQ(Take(), before);

  // With everything chosen.
  WriteFile(dir / "a.txt", "a");
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  ChooseFile(dir / "a.txt");
  ChooseSource(dir / "in");
  ChooseTarget(dir / "out");
  before = Take();
  for (const char* button : {"TargetDirSelectBtn", "SourceDirSelectBtn"}) {
    SCOPED_TRACE(button);
    EXPECT_EQ(Click(button, {test::CancelDialog()}).size(), 1u);
    EXPECT_EQ(Take(), before);
  }
  ShowTab(0);
  before = Take();
  EXPECT_EQ(Click("SourceFileSelectBtn", {test::CancelDialog()}).size(), 1u);
  EXPECT_EQ(Take(), before);
  EXPECT_EQ(ListNames(dir.path()), (Names{"a.txt", "in", "out"}));
}

TEST_F(MainWindowDialogs, AFolderGoneBeforeTheDialogReturnedIsIgnored) {
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "gone");
  ChooseSource(dir / "in");
  const Snapshot before = Take();
  // The folder disappears between the user's choice and the dialog's return.
  const auto chooseThenRemove = [&](QWidget* dialog) {
    ChoosePath((dir / "gone").string())(dialog);
    fs::remove(dir / "gone");
  };
  for (const char* button : {"SourceDirSelectBtn", "TargetDirSelectBtn"}) {
    SCOPED_TRACE(button);
    fs::create_directory(dir / "gone");
    EXPECT_EQ(Click(button, {test::Run(chooseThenRemove)}).size(), 1u);
    ASSERT_FALSE(fs::exists(dir / "gone"));
    EXPECT_EQ(Take(), before);
  }
}

// ---- Convert

using MainWindowConvert = MainWindowTest;

TEST_F(MainWindowConvert, ConvertsTheChosenFileBesideItWithOneNoticeAndAgainWhenPressedAgain) {
  WriteFile(dir / "Notes.txt", kMacRoman);
  ChooseFile(dir / "Notes.txt");
  const Snapshot before = Take();

  ExpectOneNotice(Click("ConvertSingleBtn"), kDone);
  EXPECT_EQ(ReadFile(dir / "Notes_Converted.txt"), kLatin1);
  EXPECT_EQ(ReadFile(dir / "Notes.txt"), kMacRoman);
  EXPECT_EQ(Take(), before);

  // The same file again: its new text replaces the earlier copy.
  WriteFile(dir / "Notes.txt", "\x80\r");
  ExpectOneNotice(Click("ConvertSingleBtn"), kDone);
  EXPECT_EQ(ReadFile(dir / "Notes_Converted.txt"), "\xC4\r");
  EXPECT_EQ(ListNames(dir.path()), (Names{"Notes.txt", "Notes_Converted.txt"}));
  EXPECT_EQ(Take(), before);
}

TEST_F(MainWindowConvert, ReadsThePopupsAndTheBoxWhenPressed) {
  WriteFile(dir / "a.txt", "\x8A\r\x9F\r");
  ChooseFile(dir / "a.txt");
  // ISO Latin1 -> UTF-8 (no BOM), three rows down; line breaks CR -> LF.
  for (int i = 0; i < 3; ++i) QTest::keyClick(WidgetOf("TargetPop"), Qt::Key_Down);
  ASSERT_EQ(C<PopupMenu>("TargetPop")->Text(), String("UTF-8 (no BOM)"));
  Click("ConvertLBCB");
  QTest::keyClick(WidgetOf("LBTargetPop"), Qt::Key_Down);
  ASSERT_EQ(C<PopupMenu>("LBTargetPop")->Text(), String("Unix (LF)"));
  ExpectOneNotice(Click("ConvertSingleBtn"), kDone);
  EXPECT_EQ(ReadFile(dir / "a_Converted.txt"), "\xC3\xA4\n\xC3\xBC\n");

  // The box unticked again: the line breaks stay, whatever the popups show.
  Click("ConvertLBCB");
  C<PopupMenu>("SourcePop")->SetListIndex(2);  // Windows Latin1
  C<PopupMenu>("TargetPop")->SetListIndex(4);
  WriteFile(dir / "a.txt", "\x80\r\n");
  ExpectOneNotice(Click("ConvertSingleBtn"), kDone);
  EXPECT_EQ(ReadFile(dir / "a_Converted.txt"), "\xE2\x82\xAC\r\n");
}

TEST_F(MainWindowConvert, ASourceDeletedSinceItWasChosenGivesOnlyTheEngineReport) {
  WriteFile(dir / "a.txt", "a");
  ChooseFile(dir / "a.txt");
  fs::remove(dir / "a.txt");
  const Snapshot before = Take();
  const auto seen = Click("ConvertSingleBtn");
  EXPECT_EQ(TextsOf(seen), Names{"application error in ConvertSingleFile"});
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_EQ(Take(), before);
}

// ---- Batch Convert

class MainWindowBatch : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directory(source);
    fs::create_directory(target);
  }
  void ChooseFolders() {
    ChooseSource(source);
    ChooseTarget(target);
    ASSERT_TRUE(Enabled("ConvertBatchBtn"));
  }

  const fs::path source = dir / "Docs";
  const fs::path target = dir / "out";
  const fs::path output = dir / "out" / "Docs_Converted";
};

TEST_F(MainWindowBatch, CountsFirstThenConvertsTheTreeAndShowsBothNoticesInOrder) {
  fs::create_directories(source / "sub" / "deeper");
  for (int i = 1; i <= 7; ++i) WriteFile(source / ("f" + std::to_string(i) + ".txt"), kMacRoman);
  for (int i = 1; i <= 3; ++i) WriteFile(source / "sub" / ("s" + std::to_string(i)), "x");
  WriteFile(source / "sub" / "deeper" / "d1.csv", "y");
  WriteFile(source / "sub" / "deeper" / "d2", "z");
  WriteFile(source / ".hidden", "h");
  ChooseFolders();

  StatusWatcher watcher(*w);
  const auto seen = Click("ConvertBatchBtn");

  ASSERT_GE(watcher.lines.size(), 3u) << testing::PrintToString(watcher.lines);
  EXPECT_EQ(watcher.lines[0], "-");
  EXPECT_EQ(watcher.lines[1], "0 of 12");  // before any file is converted
  EXPECT_EQ(watcher.bars[1].second, 12);
  EXPECT_EQ(watcher.bars[1].first, 0);
  EXPECT_EQ(watcher.lines[2], Progress(1, 12));
  EXPECT_EQ(watcher.lines.back(), Progress(12, 12));
  ASSERT_EQ(TextsOf(seen), (Names{kDone, kBatchDone}));
  for (const SeenDialog& d : seen) {
    EXPECT_EQ(d.buttons, Names{"OK"});
    EXPECT_EQ(d.defaultButton, "OK");
  }
  EXPECT_EQ(Tree(output).size(), 14u);  // 12 files and 2 folders, nothing hidden
  EXPECT_FALSE(fs::exists(output / ".hidden"));
  EXPECT_EQ(ReadFile(output / "f1.txt"), kLatin1);
  EXPECT_EQ(ReadFile(output / "sub" / "deeper" / "d2"), "z");
  EXPECT_EQ(ListNames(target), Names{"Docs_Converted"});
  EXPECT_EQ(Status(), Progress(12, 12));
  EXPECT_EQ(C<ProgressBar>("StatusBar")->Value(), 12);
  EXPECT_EQ(w->ItemCount, 12);
  EXPECT_EQ(Tab(), 1);
}

TEST_F(MainWindowBatch, ATreeWithoutVisibleFilesReadsZeroOfZeroAndShowsBothNotices) {
  fs::create_directory(source / "empty");
  WriteFile(source / ".DS_Store", "x");
  ChooseFolders();
  const auto seen = Click("ConvertBatchBtn");
  EXPECT_EQ(TextsOf(seen), (Names{kDone, kBatchDone}));
  EXPECT_EQ(Status(), "0 of 0");
  EXPECT_EQ(C<ProgressBar>("StatusBar")->Maximum(), 0);
  EXPECT_EQ(Tree(output), Names{"empty/"});
}

TEST_F(MainWindowBatch, ATargetThatCannotTakeTheFolderShowsOnlyTheClosingNotice) {
  WriteFile(source / "a.txt", "a");
  WriteFile(source / "b.txt", "b");
  WriteFile(output, "in the way");
  ChooseFolders();
  const auto seen = Click("ConvertBatchBtn");
  EXPECT_EQ(TextsOf(seen), Names{kBatchDone});
  EXPECT_EQ(ReadFile(output), "in the way");
  EXPECT_EQ(Status(), "0 of 2");
}

TEST_F(MainWindowBatch, EscapeHeldDuringTheRunStopsItAndBothNoticesStillFollow) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) WriteFile(source / name, "x");
  ChooseFolders();
  StatusWatcher watcher(*w, [&](const std::string& line) {
    if (line == Progress(1, 5)) QTest::keyPress(w->Widget(), Qt::Key_Escape);
  });
  const auto seen = Click("ConvertBatchBtn");
  QTest::keyRelease(w->Widget(), Qt::Key_Escape);
  EXPECT_EQ(TextsOf(seen), (Names{kDone, kBatchDone}));
  EXPECT_EQ(Tree(output), Names{"1.txt"});
  EXPECT_EQ(Status(), Progress(1, 5));
  EXPECT_FALSE(Keyboard::AsyncKeyDown(53));
}

// With the target inside the source, an earlier output there is no part of the tree: the
// count before the run is the run's own.
TEST_F(MainWindowBatch, TheCountShownBeforeTheRunIsTheRunsOwn) {
  WriteFile(source / "a.txt", "a");
  WriteFile(source / "b.txt", "b");
  fs::create_directory(source / "Docs_Converted");
  WriteFile(source / "Docs_Converted" / "old1.txt", "o");
  WriteFile(source / "Docs_Converted" / "old2.txt", "o");
  ChooseSource(source);
  ChooseTarget(source);
  StatusWatcher watcher(*w);
  EXPECT_EQ(TextsOf(Click("ConvertBatchBtn")), (Names{kDone, kBatchDone}));
  ASSERT_GE(watcher.lines.size(), 2u);
  EXPECT_EQ(watcher.lines[1], "0 of 2");
  EXPECT_EQ(watcher.lines.back(), Progress(2, 2));
  EXPECT_EQ(w->ItemCount, 2);
}

// Conversions that run out of memory say so once, leave the earlier copies as the user
// had them and claim no success; a folder run goes on with the next file. 48 MiB of
// daggers (0xA0 in MacRoman) are read with 64 MiB to spare, but cannot grow to 144 MiB of
// UTF-8: far more than the C library may have set aside, or give back meanwhile.
TEST_F(MainWindowBatch, ConversionsThatRunOutOfMemoryKeepEarlierCopiesAndClaimNoSuccess) {
  if (!kAddressSpaceCanBeLimited) GTEST_SKIP() << "no address-space limit under the sanitizers";
  {
    std::ofstream big(source / "big.txt", std::ios::binary);
    const std::string daggers(1 << 20, '\xA0');
    for (int mib = 0; mib < 48; ++mib) big.write(daggers.data(), daggers.size());
  }
  WriteFile(source / "big_Converted.txt", "the earlier copy");
  ::chmod((source / "big_Converted.txt").c_str(), 0640);
  WriteFile(source / "small.txt", "caf\x8E");
  fs::create_directory(output);
  WriteFile(output / "big.txt", "the earlier copy");
  ChooseFile(source / "big.txt");
  ChooseFolders();
  C<PopupMenu>("TargetPop")->SetListIndex(4);  // UTF-8 (no BOM)
  const auto outOfMemory = [this](const char* button) {
    const AddressSpaceLimit limit(64 << 20);
    return TextsOf(Click(button));
  };

  EXPECT_EQ(outOfMemory("ConvertSingleBtn"), Names{"application error in ConvertText"});
  EXPECT_TRUE(ReadFile(source / "big_Converted.txt") == "the earlier copy");
  EXPECT_EQ(fs::status(source / "big_Converted.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(outOfMemory("ConvertBatchBtn"), (Names{"application error in ConvertText", kDone, kBatchDone}));
  EXPECT_TRUE(ReadFile(output / "big.txt") == "the earlier copy");
  EXPECT_EQ(ReadFile(output / "small.txt"), "caf\xC3\xA9");
  EXPECT_EQ(Status(), Progress(2, 3));
}

// A run yields to the user's input after every item; "Convert", another "Batch Convert"
// or a drop meanwhile starts nothing, while the choices can still change.
TEST_F(MainWindowBatch, NothingElseStartsWhileARunIsUnderWay) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) WriteFile(source / name, "x");
  fs::create_directory(dir / "other");
  WriteFile(dir / "other" / "o.txt", "o");
  WriteFile(dir / "single.txt", "s");
  ChooseFile(dir / "single.txt");
  ChooseFolders();
  bool tried = false;
  StatusWatcher watcher(*w, [&](const std::string& line) {
    if (line != Progress(2, 5) || tried) return;
    tried = true;
    ShowTab(0);
    QTest::mouseClick(WidgetOf("ConvertSingleBtn"), Qt::LeftButton);
    ShowTab(1);
    QTest::mouseClick(WidgetOf("ConvertBatchBtn"), Qt::LeftButton);
    EXPECT_TRUE(test::DropPaths(WidgetOf("myPanel"), {dir / "other"}));
    EXPECT_TRUE(test::DropPaths(WidgetOf("myPanel"), {dir / "single.txt"}));
    C<PopupMenu>("TargetPop")->SetListIndex(4);  // applies from the next file on
  });
  const auto seen = Click("ConvertBatchBtn");
  ASSERT_TRUE(tried);
  EXPECT_EQ(TextsOf(seen), (Names{kDone, kBatchDone}));
  EXPECT_EQ(watcher.lines.back(), Progress(5, 5));
  for (const std::string& line : watcher.lines) EXPECT_FALSE(line.starts_with("6 of")) << line;
  EXPECT_EQ(Tree(output), (Names{"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}));
  EXPECT_FALSE(fs::exists(dir / "other_Converted"));
  EXPECT_FALSE(fs::exists(dir / "single_Converted.txt"));
  EXPECT_EQ(C<PopupMenu>("TargetPop")->ListIndex(), 4);

  // Once the run is over, the same drop works.
  ExpectOneNotice(Drop({dir / "single.txt"}), kDone);
  EXPECT_TRUE(fs::exists(dir / "single_Converted.txt"));
}

// ---- Drops

class MainWindowDrops : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    fs::create_directory(drops);
  }
  const fs::path drops = dir / "drops";
};

TEST_F(MainWindowDrops, AFileDropConvertsOnlyTheFirstItemAndLeavesTheChoiceAlone) {
  WriteFile(dir / "chosen.txt", kMacRoman);
  ChooseFile(dir / "chosen.txt");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(drops / name, "\x8A\r");
  const Snapshot before = Take();

  ExpectOneNotice(Drop({drops / "a.txt", drops / "b.txt", drops / "c.txt"}), kDone);
  EXPECT_EQ(ListNames(drops), (Names{"a.txt", "a_Converted.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(ReadFile(drops / "a_Converted.txt"), "\xE4\r");
  EXPECT_EQ(Take(), before);  // same tab, field, file and buttons

  // "Convert" still converts the chosen file, not the dropped one.
  fs::remove(drops / "a_Converted.txt");
  ExpectOneNotice(Click("ConvertSingleBtn"), kDone);
  EXPECT_EQ(ReadFile(dir / "chosen_Converted.txt"), kLatin1);
  EXPECT_FALSE(fs::exists(drops / "a_Converted.txt"));
}

TEST_F(MainWindowDrops, AFileDropOnTheSecondTabReplacesAnEarlierCopyAndStaysThere) {
  WriteFile(drops / "a.txt", kMacRoman);
  WriteFile(drops / "a_Converted.txt", "an older copy, longer than the new one will be");
  ShowTab(1);
  const Snapshot before = Take();
  ExpectOneNotice(Drop({drops / "a.txt"}), kDone);
  EXPECT_EQ(ReadFile(drops / "a_Converted.txt"), kLatin1);
  EXPECT_EQ(Take(), before);
  EXPECT_EQ(Tab(), 1);
}

TEST_F(MainWindowDrops, AFileThatIsNoLongerThereIsIgnored) {
  const Snapshot before = Take();
  EXPECT_TRUE(Drop({drops / "missing.txt"}).empty());
  EXPECT_TRUE(Drop({drops / "missing.txt", drops / "also-missing.txt"}).empty());
  EXPECT_TRUE(fs::is_empty(drops));
  EXPECT_EQ(Take(), before);
}

TEST_F(MainWindowDrops, AFolderDropConvertsBesideItAndALaterBatchConvertRunsItAgain) {
  // Folders chosen on the second tab, and a file on the first.
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  WriteFile(dir / "in" / "x.txt", "x");
  ChooseSource(dir / "in");
  ChooseTarget(dir / "out");
  WriteFile(dir / "chosen.txt", "c");
  ChooseFile(dir / "chosen.txt");
  ASSERT_EQ(Tab(), 0);

  fs::create_directories(drops / "Docs" / "sub");
  WriteFile(drops / "Docs" / "a.txt", kMacRoman);
  WriteFile(drops / "Docs" / "sub" / "b.txt", "b");
  Snapshot before = Take();

  StatusWatcher watcher(*w);
  ExpectOneNotice(Drop({drops / "Docs", dir / "chosen.txt"}), kDone);
  EXPECT_EQ(ListNames(drops), (Names{"Docs", "Docs_Converted"}));
  EXPECT_EQ(Tree(drops / "Docs_Converted"), (Names{"a.txt", "sub/", "sub/b.txt"}));
  EXPECT_EQ(ReadFile(drops / "Docs_Converted" / "a.txt"), kLatin1);
  EXPECT_FALSE(fs::exists(dir / "chosen_Converted.txt"));  // only the first item
  // The status line keeps its text until the first file is converted.
  ASSERT_GE(watcher.lines.size(), 2u) << testing::PrintToString(watcher.lines);
  EXPECT_EQ(watcher.lines[0], "-");
  EXPECT_EQ(watcher.lines[1], Progress(1, 2));
  // The second tab is in front; fields, buttons and the chosen file stay.
  EXPECT_EQ(Tab(), 1);
  Snapshot after = Take();
  EXPECT_EQ(after.enabled, before.enabled);
  EXPECT_EQ(after.texts["SourceFileField"], before.texts["SourceFileField"]);
  EXPECT_EQ(after.texts["SourceDirectoryField"], (dir / "in").string());
  EXPECT_EQ(after.texts["TargetDirectoryField"], (dir / "out").string());
  EXPECT_EQ(after.members["SourceFile"], (dir / "chosen.txt").string());
  EXPECT_EQ(after.members["SourceFolder"], (drops / "Docs").string());
  EXPECT_EQ(after.members["TargetFolder"], drops.string());

  // "Batch Convert" now runs the dropped folder into its parent, whatever the fields show.
  fs::remove_all(drops / "Docs_Converted");
  EXPECT_EQ(TextsOf(Click("ConvertBatchBtn")), (Names{kDone, kBatchDone}));
  EXPECT_EQ(Tree(drops / "Docs_Converted"), (Names{"a.txt", "sub/", "sub/b.txt"}));
  EXPECT_TRUE(fs::is_empty(dir / "out"));
  EXPECT_EQ(Status(), Progress(2, 2));
}

TEST_F(MainWindowDrops, AFolderDropOnTheSecondTabWithNothingVisibleInItStillShowsTheNotice) {
  fs::create_directory(drops / "Empty");
  WriteFile(drops / "Empty" / ".hidden", "h");
  ShowTab(1);
  const Snapshot before = Take();
  ExpectOneNotice(Drop({drops / "Empty"}), kDone);
  EXPECT_TRUE(fs::is_directory(drops / "Empty_Converted"));
  EXPECT_TRUE(fs::is_empty(drops / "Empty_Converted"));
  EXPECT_EQ(Status(), "-");  // no file, no progress line
  EXPECT_EQ(Take().enabled, before.enabled);
}

// ---- About and Quit

using MainWindowAboutQuit = MainWindowTest;

TEST_F(MainWindowAboutQuit, AboutShowsTheBoxWithItsTimerOffUntilItIsClicked) {
  EXPECT_TRUE(Click("AboutBtn").empty());  // not modal
  const Ref<Window> box = Window::_GetImplicitWindow("AboutWindow.AboutWindow");
  ASSERT_TRUE(box);
  EXPECT_TRUE(box->Widget()->isVisible());
  const Ref<Timer> timer = box->ControlByName<Timer>("CloseTimer");
  EXPECT_EQ(timer->Mode(), 0);
  EXPECT_FALSE(timer->IsRunning());

  // Pressed again, the same box.
  Click("AboutBtn");
  EXPECT_EQ(Window::_GetImplicitWindow("AboutWindow.AboutWindow").get(), box.get());
  EXPECT_TRUE(box->IsOpen());
  EXPECT_FALSE(timer->IsRunning());

  QTest::mouseClick(box->ContentWidget(), Qt::LeftButton);
  EXPECT_FALSE(box->IsOpen());
  EXPECT_TRUE(w->IsOpen());
}

TEST_F(MainWindowAboutQuit, AboutTurnsTheSplashTimerOff) {
  const Ref<class AboutWindow> splash = AboutWindow();
  splash->Show();
  ASSERT_TRUE(splash->ControlByName<Timer>("CloseTimer")->IsRunning());
  Click("AboutBtn");
  EXPECT_EQ(Window::_GetImplicitWindow("AboutWindow.AboutWindow").get(), splash.get());
  EXPECT_FALSE(splash->ControlByName<Timer>("CloseTimer")->IsRunning());
  EXPECT_TRUE(splash->IsOpen());
}

TEST_F(MainWindowAboutQuit, QuitEndsTheEventLoopAtOnceAskingNothing) {
  Click("AboutBtn");  // the box may still be showing
  ModalAnswerer answerer;
  // Should Quit fail to end the loop, this does, with another code.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  QTimer::singleShot(0, [this] { QTest::mouseClick(WidgetOf("QuitBtn"), Qt::LeftButton); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(answerer.Seen().empty());
}

}  // namespace
}  // namespace kolvane
