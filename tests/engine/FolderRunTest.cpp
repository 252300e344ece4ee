#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "tests/support/Codes.h"
#include "tests/support/EngineWindow.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/Privileges.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using test::Answer;
using test::CodesOf;
using test::SetCodes;
using test::ListNames;
using test::ModalAnswerer;
using test::ReadFile;
using test::SeenDialog;
using test::TempDir;
using test::Tree;
using test::WriteFile;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr const char* kNotice = "Conversion done successfull.";
constexpr const char* kFileError = "application error in p_ConvertFile";
constexpr const char* kLevelError = "Exception p_RenameItems";
constexpr const char* kCountError = "Exception p_CountItems";

std::string Status(int done, int total) {
  return std::to_string(done) + " of " + std::to_string(total) + " (hit esc to stop)";
}

// The regular files below root, as relative paths.
std::set<std::string> FilesBelow(const fs::path& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().filename().native()[0] != '.') {
      files.insert(fs::relative(it->path(), root).native());
    }
  }
  return files;
}

void MakeFifo(const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }

void MakeSocket(const fs::path& p) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(p.native().size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, p.c_str());
  const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::close(fd);  // the socket's entry stays in the folder
  ASSERT_EQ(bound, 0);
}

// Watches the window at every yield of a run: a zero-interval timer fires once per pass
// of the event loop, and the run passes through it after every item. Keeps each new status
// line with the bar as it stood then, and hands every tick to the test.
class RunWatcher {
 public:
  struct Step {
    std::string status;
    std::int32_t value;
    std::int32_t maximum;
  };

  // onTick gets the status line and whether it changed since the last tick.
  RunWatcher(test::EngineWindow& window, std::function<void(const std::string&, bool)> onTick = {})
      : window_(window), onTick_(std::move(onTick)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(0);
  }

  std::vector<Step> steps;

 private:
  void Tick() {
    const std::string status = window_.StatusText()->Text().Bytes();
    const bool changed = steps.empty() || steps.back().status != status;
    if (changed) steps.push_back({status, window_.StatusBar()->Value(), window_.StatusBar()->Maximum()});
    if (onTick_) onTick_(status, changed);
  }

  test::EngineWindow& window_;
  std::function<void(const std::string&, bool)> onTick_;
  QTimer timer_;
};

class FolderRun : public testing::Test {
 protected:
  void SetUp() override {
    window = New<test::EngineWindow>();
    window->Constructor();
    window->Choose("MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)", "Unix (LF)");
    fs::create_directory(source);
    fs::create_directory(target);
  }
  void TearDown() override {
    // A test that held Escape must not leave it held for the next one.
    QTest::keyRelease(window->Widget(), Qt::Key_Escape);
    window->Close();
  }

  // Runs the folder run with every dialog answered from the queue (then by the default
  // button) and returns the dialogs it showed.
  std::vector<SeenDialog> Run(const fs::path& from, const fs::path& to, std::deque<Answer> answers = {}) {
    ModalAnswerer answerer(std::move(answers));
    window->p_Convert(New<FolderItem>(from), New<FolderItem>(to));
    return answerer.Seen();
  }
  std::vector<SeenDialog> Run(std::deque<Answer> answers = {}) { return Run(source, target, std::move(answers)); }

  static Names Texts(const std::vector<SeenDialog>& seen) {
    Names out;
    for (const SeenDialog& d : seen) out.push_back(d.text);
    return out;
  }

  void PressEscape() { QTest::keyPress(window->Widget(), Qt::Key_Escape); }
  void ReleaseEscape() { QTest::keyRelease(window->Widget(), Qt::Key_Escape); }

  TempDir dir;
  const fs::path source = dir / "Docs";
  const fs::path target = dir / "out";
  const fs::path output = dir / "out" / "Docs_Converted";
  Ref<test::EngineWindow> window;
};

// ---- The copy of the tree

TEST_F(FolderRun, MirrorsTheVisibleTreeAndClosesWithTheNotice) {
  WriteFile(source / "a.txt", "caf\x8E\r");
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b\r");
  WriteFile(source / ".hidden", "h");
  const auto seen = Run();
  EXPECT_EQ(ReadFile(output / "a.txt"), "caf\xC3\xA9\n");
  EXPECT_EQ(ReadFile(output / "sub" / "b.txt"), "b\n");
  EXPECT_EQ(Tree(output), (Names{"a.txt", "sub/", "sub/b.txt"}));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, kNotice);
  EXPECT_EQ(seen[0].buttons, Names{"OK"});
  EXPECT_EQ(seen[0].defaultButton, "OK");
  EXPECT_TRUE(seen[0].title.ends_with(" - Hinweis!")) << seen[0].title;
  EXPECT_EQ(window->ItemCount, 2);
  EXPECT_EQ(window->StatusBar()->Value(), 2);
  EXPECT_EQ(window->StatusBar()->Maximum(), 2);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 2)));
  EXPECT_EQ(window->myPanel()->Value(), 1);
  EXPECT_EQ(ReadFile(source / "a.txt"), "caf\x8E\r");
}

TEST_F(FolderRun, OnlyTheTopFolderCarriesTheSuffix) {
  fs::create_directories(dir / "Docs_Converted" / "Docs");
  fs::create_directories(dir / "Docs_Converted" / "Docs_Converted");
  WriteFile(dir / "Docs_Converted" / "Docs" / "notes.txt", "n");
  WriteFile(dir / "Docs_Converted" / "Docs_Converted" / "old.txt", "o");
  Run(dir / "Docs_Converted", target);
  EXPECT_EQ(Tree(target), (Names{"Docs_Converted_Converted/", "Docs_Converted_Converted/Docs/",
                                 "Docs_Converted_Converted/Docs/notes.txt", "Docs_Converted_Converted/Docs_Converted/",
                                 "Docs_Converted_Converted/Docs_Converted/old.txt"}));
}

TEST_F(FolderRun, ConvertsEveryVisibleFileAsTextWhateverItsName) {
  for (const char* name : {"picture.png", "README", "archive.tar.gz", "trailing.", "x_Converted.txt"}) {
    WriteFile(source / name, "\x8E\r\x8F");
  }
  Run();
  for (const char* name : {"picture.png", "README", "archive.tar.gz", "trailing.", "x_Converted.txt"}) {
    EXPECT_EQ(ReadFile(output / name), "\xC3\xA9\n\xC3\xA8") << name;
  }
  EXPECT_EQ(window->ItemCount, 5);
}

TEST_F(FolderRun, KeepsNamesByteForByte) {
  const fs::path from = dir / "Caf\xE9";  // not UTF-8
  const fs::path copy = target / "Caf\xE9_Converted";
  const std::string latin1 = "caf\xE9.txt";
  const std::string folder = "\xFF\xFE";
  const std::string newline = "two\nlines.txt";
  fs::create_directories(from / folder);
  WriteFile(from / latin1, "a");
  WriteFile(from / folder / newline, "b");
  WriteFile(from / "\xC3\xA9t\xC3\xA9.txt", "c");
  const auto seen = Run(from, target);
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(ListNames(target), Names{copy.filename().native()});
  EXPECT_EQ(ReadFile(copy / latin1), "a");
  EXPECT_EQ(ReadFile(copy / folder / newline), "b");
  EXPECT_EQ(ReadFile(copy / "\xC3\xA9t\xC3\xA9.txt"), "c");
  EXPECT_EQ(Tree(copy).size(), 4u);
}

TEST_F(FolderRun, HiddenEntriesAreNeitherCountedNorCopiedAtAnyLevel) {
  WriteFile(source / ".DS_Store", "x");
  fs::create_directories(source / ".git" / "objects");
  WriteFile(source / ".git" / "HEAD", "x");
  WriteFile(source / ".git" / "objects" / "visible", "x");
  fs::create_directories(source / "a" / "b");
  WriteFile(source / "a" / ".hidden.txt", "x");
  WriteFile(source / "a" / "b" / ".x", "x");
  fs::create_directory(source / "a" / "b" / ".cache");
  WriteFile(source / "a" / "b" / ".cache" / "c.txt", "x");
  WriteFile(source / "a" / "b" / "seen.txt", "s");
  Run();
  EXPECT_EQ(Tree(output), (Names{"a/", "a/b/", "a/b/seen.txt"}));
  EXPECT_EQ(window->ItemCount, 1);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 1)));
}

TEST_F(FolderRun, CreatesVisibleFoldersThatHoldNothingToConvert) {
  fs::create_directories(source / "empty" / "deeper");
  fs::create_directory(source / "onlyHidden");
  WriteFile(source / "onlyHidden" / ".x", "x");
  const auto seen = Run();
  EXPECT_EQ(Tree(output), (Names{"empty/", "empty/deeper/", "onlyHidden/"}));
  EXPECT_EQ(Texts(seen), Names{kNotice});
}

TEST_F(FolderRun, TheSourceFolderItselfMayBeHidden) {
  fs::create_directory(dir / ".Docs");
  WriteFile(dir / ".Docs" / "a.txt", "a");
  Run(dir / ".Docs", target);
  EXPECT_EQ(Tree(target), (Names{".Docs_Converted/", ".Docs_Converted/a.txt"}));
}

// Deeper than folders can be held open at once.
TEST_F(FolderRun, WalksSixHundredLevelsDeep) {
  fs::path from = source;
  fs::path to = output;
  for (int level = 0; level < 600; ++level) {
    from /= "d";
    to /= "d";
  }
  fs::create_directories(from);
  WriteFile(from / "f", "deep\r");
  WriteFile(from / ".f", "hidden");
  // As many open files as a desktop session commonly allows.
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
  const auto seen = Run();
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(ReadFile(to / "f"), "deep\n");
  EXPECT_FALSE(fs::exists(to / ".f"));
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 1)));
}

// The folders a run walked are not kept open after it: a disk the user wants to eject
// is not kept busy by the folder the window still holds.
TEST_F(FolderRun, LeavesNoFolderOpenBehind) {
  fs::create_directories(source / "sub");
  WriteFile(source / "sub" / "a.txt", "a");
  const auto openFolders = [&] {
    Names open;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const fs::path to = fs::read_symlink(fd.path(), ec);
      if (!ec && to.native().starts_with(dir.path().native())) open.push_back(to.native());
    }
    return open;
  };
  const Ref<FolderItem> held = New<FolderItem>(source);
  ModalAnswerer answerer;
  window->p_Convert(held, New<FolderItem>(target));
  EXPECT_EQ(ReadFile(output / "sub" / "a.txt"), "a");
  EXPECT_EQ(openFolders(), Names{});
}

TEST_F(FolderRun, ReusesAConvertedFolderLeftByAnEarlierRun) {
  WriteFile(source / "a.txt", "new\r");
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b");
  fs::create_directories(output / "sub");
  WriteFile(output / "a.txt", "old");
  WriteFile(output / "other.txt", "keep");
  WriteFile(output / "sub" / "b.txt", "old b");
  WriteFile(output / "sub" / "c.txt", "keep c");
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(ReadFile(output / "a.txt"), "new\n");
  EXPECT_EQ(ReadFile(output / "sub" / "b.txt"), "b");
  EXPECT_EQ(ReadFile(output / "other.txt"), "keep");
  EXPECT_EQ(ReadFile(output / "sub" / "c.txt"), "keep c");
  EXPECT_EQ(Tree(output), (Names{"a.txt", "other.txt", "sub/", "sub/b.txt", "sub/c.txt"}));
}

// Copies deeper than a path the system takes whole are reached through the folders that
// hold them: replaced by a second run, rewritten in place, and converted as one file.
TEST_F(FolderRun, ReplacesCopiesWhosePathsAreTooLongToTakeWhole) {
  const std::string name(250, 'n');
  std::string deep;
  std::vector<int> held;
  const auto chain = [&](const fs::path& top, bool make) {  // 18 levels: past PATH_MAX
    int fd = ::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < 18; ++level) {
      if (make) ::mkdirat(fd, name.c_str(), 0777);
      const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      ::close(fd);
      fd = next;
      if (make) deep += "/" + name;
    }
    held.push_back(fd);
    return fs::path("/proc/self/fd/" + std::to_string(fd));  // the deepest, by a short path
  };
  const fs::path from = chain(source, true);
  WriteFile(from / "f.txt", "one\r");
  ASSERT_EQ(Texts(Run()), Names{kNotice});
  const fs::path to = chain(output, false);
  EXPECT_EQ(ReadFile(to / "f.txt"), "one\n");

  WriteFile(from / "f.txt", "two\r");
  EXPECT_EQ(Texts(Run()), Names{kNotice});
  EXPECT_EQ(ReadFile(to / "f.txt"), "two\n");
  if (::geteuid() != 0) {
    WriteFile(from / "f.txt", "three\r");
    ::chmod(to.c_str(), 0555);
    EXPECT_EQ(Texts(Run()), Names{kNotice});
    ::chmod(to.c_str(), 0755);
    EXPECT_EQ(ReadFile(to / "f.txt"), "three\n");
  }
  EXPECT_EQ(ListNames(to), Names{"f.txt"});

  const Ref<FolderItem> file = New<FolderItem>(source.native() + deep + "/f.txt");
  ModalAnswerer answerer;
  for (const char* text : {"single\r", "again\r"}) {
    WriteFile(from / "f.txt", text);
    EXPECT_TRUE(window->p_ConvertSingleFile(file));
  }
  EXPECT_EQ(Texts(answerer.Seen()), Names{});
  EXPECT_EQ(ReadFile(from / "f_Converted.txt"), "again\n");
  EXPECT_EQ(ListNames(from), (Names{"f.txt", "f_Converted.txt"}));
  for (const int fd : held) ::close(fd);
}

TEST_F(FolderRun, CopiesTypeAndCreatorToEveryOutputFile) {
  WriteFile(source / "a.txt", "a");
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b");
  WriteFile(source / "sub" / "plain.txt", "p");
  if (!SetCodes(source / "a.txt", "TEXTttxt")) GTEST_SKIP() << "no user extended attributes here";
  ASSERT_TRUE(SetCodes(source / "sub" / "b.txt", "RTF MSWD"));
  Run();
  EXPECT_EQ(CodesOf(output / "a.txt"), "TEXTttxt");
  EXPECT_EQ(CodesOf(output / "sub" / "b.txt"), "RTF MSWD");
  EXPECT_EQ(CodesOf(output / "sub" / "plain.txt"), "");
  EXPECT_EQ(FolderItem(output / "sub" / "b.txt").MacType(), String("RTF "));
  EXPECT_EQ(FolderItem(output / "sub" / "b.txt").MacCreator(), String("MSWD"));
}

// An empty tree and one that holds only hidden entries run alike: the top folder is made
// and stays empty, the bar's maximum is 0, the status line keeps what it showed.
struct TreeMaker {
  const char* name;
  std::function<void(const fs::path&)> make;
};
void PrintTo(const TreeMaker& t, std::ostream* os) { *os << t.name; }

class EmptyTree : public FolderRun, public testing::WithParamInterface<TreeMaker> {};

TEST_P(EmptyTree, MakesAnEmptyCopyAndShowsTheNotice) {
  GetParam().make(source);
  window->StatusBar()->SetMaximum(40);
  window->StatusBar()->SetValue(12);
  window->myPanel()->SetValue(0);
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_TRUE(fs::is_directory(output));
  EXPECT_TRUE(fs::is_empty(output));
  EXPECT_EQ(window->ItemCount, 0);
  EXPECT_EQ(window->StatusBar()->Maximum(), 0);
  EXPECT_EQ(window->StatusBar()->Value(), 0);
  EXPECT_EQ(window->StatusText()->Text(), String("-"));
  EXPECT_EQ(window->myPanel()->Value(), 1);
}

INSTANTIATE_TEST_SUITE_P(FolderRun, EmptyTree,
                         testing::Values(TreeMaker{"Empty", [](const fs::path&) {}},
                                         TreeMaker{"AllHidden",
                                                   [](const fs::path& s) {
                                                     WriteFile(s / ".a", "a");
                                                     fs::create_directory(s / ".folder");
                                                     WriteFile(s / ".folder" / "b.txt", "b");
                                                   }}),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- Progress

TEST_F(FolderRun, AdvancesTheStatusLineAndTheBarAfterEachFileInNameOrder) {
  fs::create_directory(source / "Z");
  for (const char* name : {"b.txt", "B.txt", "a.txt", "\xC3\xA9.txt", "Z/y.txt"}) WriteFile(source / name, "x");
  window->StatusBar()->SetMaximum(20);
  window->StatusBar()->SetValue(7);
  window->ItemCount = 99;
  std::set<std::string> before;
  Names order;
  RunWatcher watcher(*window, [&](const std::string&, bool changed) {
    if (!changed) return;
    const std::set<std::string> now = FilesBelow(output);
    for (const std::string& f : now) {
      if (!before.count(f)) order.push_back(f);
    }
    before = now;
  });
  Run();
  // Bytes decide: capitals before small letters, the two bytes of "é" after both.
  EXPECT_EQ(order, (Names{"B.txt", "Z/y.txt", "a.txt", "b.txt", "\xC3\xA9.txt"}));
  ASSERT_EQ(watcher.steps.size(), 6u);
  EXPECT_EQ(watcher.steps[0].status, "-");
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(watcher.steps[n].status, Status(n, 5));
    EXPECT_EQ(watcher.steps[n].value, n);
    EXPECT_EQ(watcher.steps[n].maximum, 5);
  }
  EXPECT_EQ(window->ItemCount, 5);
}

TEST_F(FolderRun, KeepsTheLastStateUntilTheNextRunResetsIt) {
  WriteFile(source / "a.txt", "a");
  WriteFile(source / "b.txt", "b");
  Run();
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 2)));
  fs::create_directory(dir / "Empty");
  Run(dir / "Empty", target);
  EXPECT_EQ(window->ItemCount, 0);
  EXPECT_EQ(window->StatusBar()->Maximum(), 0);
  EXPECT_EQ(window->StatusBar()->Value(), 0);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 2)));
}

TEST_F(FolderRun, ReadsTheChoicesAfreshForEveryFile) {
  WriteFile(source / "a.txt", "\x8E\r");
  WriteFile(source / "b.txt", "\x8E\r");
  RunWatcher watcher(*window, [&](const std::string& status, bool changed) {
    if (changed && status == Status(1, 2)) window->Choose("MacRoman", "ISO Latin1");
  });
  Run();
  EXPECT_EQ(ReadFile(output / "a.txt"), "\xC3\xA9\n");
  EXPECT_EQ(ReadFile(output / "b.txt"), "\xE9\r");
}

// Each folder is listed when the walk reaches it: files added after counting are converted
// and take the count done past the total.
TEST_F(FolderRun, FilesAddedToAFolderNotYetReachedAreConverted) {
  WriteFile(source / "a.txt", "a");
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b");
  RunWatcher watcher(*window, [&](const std::string& status, bool changed) {
    if (changed && status == Status(1, 2)) {
      WriteFile(source / "sub" / "added.txt", "n");
      WriteFile(source / "sub" / "late.txt", "l");
    }
  });
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"a.txt", "sub/", "sub/added.txt", "sub/b.txt", "sub/late.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(4, 2)));
  EXPECT_EQ(window->StatusBar()->Value(), 4);
}
TEST_F(FolderRun, AFileAddedToTheSourceWhileItIsCountedIsConverted) {
  WriteFile(source / "a.txt", "a");
  WriteFile(source / "b.txt", "b");
  bool added = false;
  RunWatcher watcher(*window, [&](const std::string&, bool) {
    if (!added) WriteFile(source / "c.txt", "c");  // first yield: the counting pass
    added = true;
  });
  Run();
  EXPECT_EQ(Tree(output), (Names{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(window->ItemCount, 2);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(3, 2)));
}

TEST_F(FolderRun, AFileDeletedBeforeItsTurnIsNotThere) {
  WriteFile(source / "a.txt", "a");
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b");
  WriteFile(source / "sub" / "c.txt", "c");
  RunWatcher watcher(*window, [&](const std::string& status, bool changed) {
    if (changed && status == Status(1, 3)) fs::remove(source / "sub" / "b.txt");
  });
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"a.txt", "sub/", "sub/c.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 3)));
}

// ---- Escape

class FolderRunEscape : public FolderRun {
 protected:
  void SetUp() override {
    FolderRun::SetUp();
    // In walking order: a/0/1.txt, a/0/2.txt, a/3.txt, y.txt, z/4.txt.
    fs::create_directories(source / "a" / "0");
    fs::create_directory(source / "z");
    for (const char* name : {"a/0/1.txt", "a/0/2.txt", "a/3.txt", "y.txt", "z/4.txt"}) WriteFile(source / name, "x");
  }
};

TEST_F(FolderRunEscape, HeldAtTheStartConvertsNothingButShowsTheNotice) {
  PressEscape();
  const auto seen = Run();
  ReleaseEscape();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_TRUE(fs::is_directory(output));
  EXPECT_TRUE(fs::is_empty(output));
  EXPECT_EQ(window->ItemCount, 5);
  EXPECT_EQ(window->StatusBar()->Maximum(), 5);
  EXPECT_EQ(window->StatusBar()->Value(), 0);
  EXPECT_EQ(window->StatusText()->Text(), String("-"));
}

TEST_F(FolderRunEscape, HeldDuringTheRunEndsEveryLevel) {
  RunWatcher watcher(*window, [&](const std::string& status, bool changed) {
    if (changed && status == Status(1, 5)) PressEscape();
  });
  const auto seen = Run();
  ReleaseEscape();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"a/", "a/0/", "a/0/1.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 5)));
  EXPECT_EQ(window->StatusBar()->Value(), 1);
}

TEST_F(FolderRunEscape, APressOnlyOneLevelSeesEndsOnlyThatLevel) {
  bool pressed = false;
  RunWatcher watcher(*window, [&](const std::string& status, bool changed) {
    if (pressed) {
      ReleaseEscape();  // at the next yield, which is one level up
      pressed = false;
    } else if (changed && status == Status(1, 5)) {
      PressEscape();
      pressed = true;
    }
  });
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"a/", "a/0/", "a/0/1.txt", "a/3.txt", "y.txt", "z/", "z/4.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(4, 5)));
}

TEST_F(FolderRunEscape, PressedWhileAnsweringAFailureStopsTheRun) {
  MakeFifo(source / "0.pipe");
  const auto seen = Run({test::Run([&](QWidget* dialog) {
    PressEscape();
    test::PressDefault()(dialog);
  })});
  ReleaseEscape();
  EXPECT_EQ(Texts(seen), (Names{kFileError, kNotice}));
  EXPECT_TRUE(fs::is_empty(output));
  EXPECT_EQ(window->ItemCount, 6);
}

// ---- Where the output goes

// A target inside the source tree (or the source itself) puts the output into the tree
// being walked; the run must not walk into its own output, and must end.
class TargetInsideSource : public FolderRun, public testing::WithParamInterface<const char*> {};

// The output met in the walk is copied as an empty folder and never entered, neither by
// the count nor by the walk, also when a second run finds it full.
TEST_P(TargetInsideSource, NeverWalksIntoItsOwnOutput) {
  fs::create_directories(source / "sub" / "deeper");
  WriteFile(source / "a.txt", "a\r");
  WriteFile(source / "sub" / "b.txt", "b\r");
  const std::string at = GetParam();
  const fs::path into = source / at;
  const fs::path copy = into / "Docs_Converted";
  const std::string mirror = (at.empty() ? "" : at + "/") + "Docs_Converted/";
  Names expected = {"a.txt", "sub/", "sub/b.txt", "sub/deeper/"};
  expected.push_back(mirror);
  std::sort(expected.begin(), expected.end());
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE(pass);
    const auto seen = Run(source, into);
    EXPECT_EQ(Texts(seen), Names{kNotice});
    EXPECT_EQ(ReadFile(copy / "a.txt"), "a\n");
    EXPECT_EQ(ReadFile(copy / "sub" / "b.txt"), "b\n");
    EXPECT_EQ(Tree(copy), expected);
    EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 2)));
  }
  EXPECT_EQ(ReadFile(source / "a.txt"), "a\r");
}

INSTANTIATE_TEST_SUITE_P(FolderRun, TargetInsideSource, testing::Values("", "sub", "sub/deeper"),
                         [](const auto& param) {
                           return std::string(param.index == 0 ? "TheSource" : param.index == 1 ? "Sub" : "SubSub");
                         });

TEST_F(FolderRun, AnEarlierOutputInsideTheSourceIsCopiedLikeAnyFolder) {
  fs::create_directories(source / "Docs_Converted");
  WriteFile(source / "Docs_Converted" / "x.txt", "x\r");
  Run();
  EXPECT_EQ(Tree(output), (Names{"Docs_Converted/", "Docs_Converted/x.txt"}));
  EXPECT_EQ(ReadFile(output / "Docs_Converted" / "x.txt"), "x\n");
}

// When there is no folder to convert into after the top folder's creation, the run ends
// without a word, after the counting and the progress set-up.
struct NoOutputFolder {
  const char* name;
  std::function<void(const fs::path& source, const fs::path& target)> make;
  bool needsUser;  // permissions do not bind root
};

// Test names show the case's name, not its bytes.
void PrintTo(const NoOutputFolder& c, std::ostream* os) { *os << c.name; }

class FolderRunWithoutOutput : public FolderRun, public testing::WithParamInterface<NoOutputFolder> {};

TEST_P(FolderRunWithoutOutput, EndsSilently) {
  if (GetParam().needsUser) KOLVANE_SKIP_IF_ROOT();
  WriteFile(source / "a.txt", "a\r");
  GetParam().make(source, target);
  const Names before = Tree(dir.path());
  window->myPanel()->SetValue(0);
  const auto seen = Run();
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(Tree(dir.path()), before);
  EXPECT_EQ(ReadFile(source / "a.txt"), "a\r");
  EXPECT_EQ(window->ItemCount, 1);
  EXPECT_EQ(window->StatusBar()->Maximum(), 1);
  EXPECT_EQ(window->myPanel()->Value(), 1);
  EXPECT_EQ(window->StatusText()->Text(), String("-"));
}

INSTANTIATE_TEST_SUITE_P(
    FolderRun, FolderRunWithoutOutput,
    testing::Values(
        NoOutputFolder{"PlainFileAtTheName",
                       [](const fs::path&, const fs::path& into) { WriteFile(into / "Docs_Converted", "in the way"); },
                       false},
        NoOutputFolder{"LinkBackToTheSource",
                       [](const fs::path& docs, const fs::path& into) {
                         fs::create_directory_symlink(docs, into / "Docs_Converted");
                       },
                       false},
        NoOutputFolder{"TargetIsAFile",
                       [](const fs::path&, const fs::path& into) {
                         fs::remove(into);
                         WriteFile(into, "a file");
                       },
                       false},
        NoOutputFolder{"TargetIsMissing", [](const fs::path&, const fs::path& into) { fs::remove(into); }, false},
        NoOutputFolder{"TargetIsNotWritable",
                       [](const fs::path&, const fs::path& into) {
                         fs::permissions(into, fs::perms::owner_read | fs::perms::owner_exec);
                       },
                       true}),
    [](const auto& param) { return std::string(param.param.name); });

// Below the top, a plain file standing at a subfolder's name is taken for the folder: its
// files cannot be written there and each says so, its folders are skipped.
TEST_F(FolderRun, APlainFileAtASubfolderNameFailsThatSubtreesFiles) {
  WriteFile(source / "a.txt", "a");
  fs::create_directories(source / "sub" / "deeper");
  WriteFile(source / "sub" / "b.txt", "b");
  WriteFile(source / "sub" / "deeper" / "c.txt", "c");
  WriteFile(source / "z.txt", "z");
  fs::create_directory(output);
  WriteFile(output / "sub", "in the way");
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), (Names{kFileError, kNotice}));
  EXPECT_EQ(Tree(output), (Names{"a.txt", "sub", "z.txt"}));
  EXPECT_EQ(ReadFile(output / "sub"), "in the way");
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 4)));
}

// A link in an earlier copy that leads back into the source tree is no folder to copy
// into: that subtree is skipped, as one whose folder cannot be made, and no original is
// written, whichever folder of the tree the link leads to.
TEST_F(FolderRun, AnOutputSubfolderLinkedToItsSourceNeverOverwritesTheSource) {
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b\r");
  WriteFile(source / "z.txt", "z\r");
  fs::create_directory(output);
  fs::create_directory_symlink(source / "sub", output / "sub");
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(ReadFile(source / "sub" / "b.txt"), "b\r");
  EXPECT_EQ(ListNames(source / "sub"), Names{"b.txt"});
  EXPECT_EQ(ReadFile(output / "z.txt"), "z\n");
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 2)));

  // A link there to another folder of the tree would put its copies over that folder's
  // files; the copy's top folder linked into the tree ends the run without a word.
  fs::remove(output / "sub");
  fs::create_directory(source / "other");
  WriteFile(source / "other" / "b.txt", "other\r");
  fs::create_directory_symlink(source / "other", output / "sub");
  EXPECT_EQ(Texts(Run()), Names{kNotice});
  EXPECT_EQ(ReadFile(source / "other" / "b.txt"), "other\r");
  fs::remove_all(output);
  fs::create_directory_symlink(source / "sub", output);
  EXPECT_TRUE(Run().empty());
  EXPECT_EQ(ReadFile(source / "sub" / "b.txt"), "b\r");
  EXPECT_EQ(ListNames(source / "sub"), Names{"b.txt"});
}

// A link in the source tree that leads into the copy being made is not followed: the
// copy would grow for as long as it is walked.
TEST_F(FolderRun, ALinkIntoTheCopyIsNotEntered) {
  fs::create_directories(source / "b");
  WriteFile(source / "b" / "x.txt", "x\r");
  fs::create_directory_symlink(output / "b", source / "b" / "link");
  fs::create_directory_symlink(output, source / "whole");
  const auto seen = Run();
  EXPECT_EQ(Texts(seen).back(), kNotice);
  EXPECT_EQ(Tree(output), (Names{"b/", "b/link/", "b/x.txt", "whole/"}));
  EXPECT_EQ(ReadFile(output / "b" / "x.txt"), "x\n");

  // Run again, the copy stands before the count: the count is the run's own.
  const auto again = Run();
  EXPECT_EQ(Texts(again), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"b/", "b/link/", "b/x.txt", "whole/"}));
  EXPECT_EQ(window->ItemCount, 1);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 1)));
}

TEST_F(FolderRun, NoTargetReportsAfterTheProgressSetUpAndWritesNothing) {
  WriteFile(source / "a.txt", "a");
  window->myPanel()->SetValue(0);
  ModalAnswerer answerer;
  window->p_Convert(New<FolderItem>(source), nullptr);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, kLevelError);
  EXPECT_EQ(answerer.Seen()[0].title, "");
  EXPECT_EQ(answerer.Seen()[0].buttons, Names{"OK"});
  EXPECT_EQ(window->ItemCount, 1);
  EXPECT_EQ(window->StatusBar()->Maximum(), 1);
  EXPECT_EQ(window->myPanel()->Value(), 1);
  EXPECT_EQ(Tree(dir.path()), (Names{"Docs/", "Docs/a.txt", "out/"}));
}

TEST_F(FolderRun, NoSourceIsReportedByTheCountingAndByTheRun) {
  ModalAnswerer answerer;
  window->p_Convert(nullptr, New<FolderItem>(target));
  EXPECT_EQ(answerer.Texts(), (Names{kCountError, kLevelError}));
  EXPECT_TRUE(fs::is_empty(target));
  EXPECT_EQ(window->ItemCount, 0);
}

// ---- Links and files that are not plain files

// Linked folders are copied as real folders and converted like any other, unless they
// would lead the walk round: those are created empty. The count shown is the count done.
TEST_F(FolderRun, EntersLinkedFoldersButNeverGoesRound) {
  fs::create_directories(dir / "elsewhere" / "inner");
  WriteFile(dir / "elsewhere" / "far.txt", "far\r");
  WriteFile(dir / "elsewhere" / "inner" / "deep.txt", "deep\r");
  WriteFile(dir / "elsewhere" / ".hidden.txt", "hidden");
  WriteFile(source / "a.txt", "a\r");
  fs::create_directories(source / "sub" / "deeper");
  WriteFile(source / "sub" / "deeper" / "b.txt", "b\r");
  fs::create_symlink(dir / "elsewhere" / "far.txt", source / "far-link.txt");
  fs::create_directory_symlink(dir / "elsewhere", source / "outside");
  fs::create_directory_symlink("..", source / "sub" / "loop");                  // the source
  fs::create_directory_symlink(source / "sub", source / "sub" / "deeper" / "up");  // on the way
  fs::create_directory_symlink(dir.path(), source / "sub" / "holder");          // holds the source
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), Names{kNotice});
  EXPECT_EQ(Tree(output), (Names{"a.txt", "far-link.txt", "outside/", "outside/far.txt", "outside/inner/",
                                 "outside/inner/deep.txt", "sub/", "sub/deeper/", "sub/deeper/b.txt",
                                 "sub/deeper/up/", "sub/holder/", "sub/loop/"}));
  EXPECT_FALSE(fs::is_symlink(output / "outside"));
  EXPECT_FALSE(fs::is_symlink(output / "far-link.txt"));
  EXPECT_EQ(ReadFile(output / "far-link.txt"), "far\n");
  EXPECT_EQ(ReadFile(output / "outside" / "inner" / "deep.txt"), "deep\n");
  EXPECT_EQ(ReadFile(dir / "elsewhere" / "far.txt"), "far\r");
  EXPECT_EQ(window->ItemCount, 5);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(5, 5)));
  EXPECT_EQ(window->StatusBar()->Value(), 5);
}

// A file that can't be read shows the per-file message, takes no progress step, and the
// walk goes on; it was counted, so the status line ends below the total.
struct Unreadable {
  const char* name;
  std::function<void(const fs::path&)> make;
  bool needsUser;  // permissions do not bind root
};

void PrintTo(const Unreadable& c, std::ostream* os) { *os << c.name; }

class FolderRunUnreadable : public FolderRun, public testing::WithParamInterface<Unreadable> {};

TEST_P(FolderRunUnreadable, ReportsTheFileAndGoesOn) {
  if (GetParam().needsUser) KOLVANE_SKIP_IF_ROOT();
  fs::create_directory(source / "sub");
  WriteFile(source / "a.txt", "a");
  GetParam().make(source / "m");
  GetParam().make(source / "sub" / "m");
  WriteFile(source / "sub" / "z.txt", "z");
  const auto seen = Run();
  ASSERT_EQ(Texts(seen), (Names{kFileError, kFileError, kNotice}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(seen[i].title, "");
    EXPECT_EQ(seen[i].buttons, Names{"OK"});
  }
  EXPECT_EQ(Tree(output), (Names{"a.txt", "sub/", "sub/z.txt"}));
  EXPECT_EQ(window->ItemCount, 4);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 4)));
  EXPECT_EQ(window->StatusBar()->Value(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    FolderRun, FolderRunUnreadable,
    testing::Values(Unreadable{"Fifo", MakeFifo, false}, Unreadable{"Socket", MakeSocket, false},
                    Unreadable{"DanglingLink",
                               [](const fs::path& p) { fs::create_symlink(p.parent_path() / "nowhere", p); },
                               false},
                    Unreadable{"NoReadPermission",
                               [](const fs::path& p) {
                                 WriteFile(p, "secret");
                                 fs::permissions(p, fs::perms::none);
                               },
                               true}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- Failures in the output tree and of whole levels

TEST_F(FolderRun, AFolderStandingAtAnOutputFileNameIsReportedForThatFile) {
  WriteFile(source / "a.txt", "a");
  WriteFile(source / "b.txt", "b");
  fs::create_directories(output / "a.txt");
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), (Names{kFileError, kNotice}));
  EXPECT_TRUE(fs::is_directory(output / "a.txt"));
  EXPECT_EQ(ReadFile(output / "b.txt"), "b");
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 2)));
}

TEST_F(FolderRun, AnUnreadableSubfolderIsReportedByBothPassesAndTheRunGoesOn) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(source / "a.txt", "a");
  fs::create_directory(source / "locked");
  WriteFile(source / "locked" / "x.txt", "x");
  WriteFile(source / "z.txt", "z");
  fs::permissions(source / "locked", fs::perms::none);
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), (Names{kCountError, kLevelError, kNotice}));
  EXPECT_EQ(seen[0].title, "");
  EXPECT_EQ(seen[1].title, "");
  EXPECT_EQ(seen[1].buttons, Names{"OK"});
  EXPECT_EQ(Tree(output), (Names{"a.txt", "locked/", "z.txt"}));
  EXPECT_EQ(window->ItemCount, 2);
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 2)));
}

TEST_F(FolderRun, AnUnreadableSourceEndsTheRunWithoutTheNotice) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(source / "a.txt", "a");
  fs::permissions(source, fs::perms::owner_write | fs::perms::owner_exec);
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), (Names{kCountError, kLevelError}));
  EXPECT_TRUE(fs::is_empty(output));
  EXPECT_EQ(window->ItemCount, 0);
}

TEST_F(FolderRun, AnUnwritableOutputFolderFailsItsFilesAndSkipsItsSubfolders) {
  KOLVANE_SKIP_IF_ROOT();
  fs::create_directories(source / "sub" / "new");
  WriteFile(source / "sub" / "b.txt", "b");
  WriteFile(source / "sub" / "new" / "c.txt", "c");
  WriteFile(source / "z.txt", "z");
  fs::create_directories(output / "sub");
  fs::permissions(output / "sub", fs::perms::owner_read | fs::perms::owner_exec);
  const auto seen = Run();
  EXPECT_EQ(Texts(seen), (Names{kFileError, kNotice}));
  EXPECT_EQ(Tree(output), (Names{"sub/", "z.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(1, 3)));
}

// An earlier copy's files keep what the user set on them: one the user may not write is
// reported and left alone, one in a folder the user may not write is written in place.
TEST_F(FolderRun, AnEarlierCopyKeepsWhatTheUserSetOnIt) {
  KOLVANE_SKIP_IF_ROOT();
  fs::create_directory(source / "fixed");
  for (const char* name : {"a.txt", "locked.txt", "fixed/b.txt", "fixed/new.txt"}) WriteFile(source / name, "new\r");
  fs::create_directories(output / "fixed");
  WriteFile(output / "locked.txt", "kept");
  WriteFile(output / "fixed" / "b.txt", "an earlier, longer copy");
  const bool codes = SetCodes(output / "locked.txt", "OLD?oldc");
  ::chmod((output / "locked.txt").c_str(), 0444);
  ::chmod((output / "fixed" / "b.txt").c_str(), 0640);
  ::chmod((output / "fixed").c_str(), 0555);
  const auto seen = Run();
  ::chmod((output / "fixed").c_str(), 0755);
  // The new file has no place in the locked folder; the file already there is rewritten.
  EXPECT_EQ(Texts(seen), (Names{kFileError, kFileError, kNotice}));
  EXPECT_EQ(ReadFile(output / "a.txt"), "new\n");
  EXPECT_EQ(ReadFile(output / "locked.txt"), "kept");
  EXPECT_EQ(fs::status(output / "locked.txt").permissions(), fs::perms(0444));
  if (codes) {
    EXPECT_EQ(CodesOf(output / "locked.txt"), "OLD?oldc");
  }
  EXPECT_EQ(ReadFile(output / "fixed" / "b.txt"), "new\n");
  EXPECT_EQ(fs::status(output / "fixed" / "b.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(Tree(output), (Names{"a.txt", "fixed/", "fixed/b.txt", "locked.txt"}));
  EXPECT_EQ(window->StatusText()->Text(), String(Status(2, 4)));
}

// ---- The members on their own

TEST_F(FolderRun, CountingAddsTheVisibleFilesOfTheTreeAndShowsNothing) {
  fs::create_directories(source / "a" / "b");
  fs::create_directory(source / ".h");
  for (const char* name : {"1", "a/2", "a/b/3", "a/.4", ".h/5"}) WriteFile(source / name, "x");
  MakeFifo(source / "a" / "pipe");
  window->ItemCount = 10;
  ModalAnswerer answerer;
  window->p_CountItems(New<FolderItem>(source));
  EXPECT_EQ(window->ItemCount, 14);
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(window->StatusText()->Text(), String("-"));
  EXPECT_EQ(window->StatusBar()->Maximum(), 100);
  EXPECT_EQ(window->myPanel()->Value(), 0);
}

// Both passes let the user's events in after every item, hidden ones included: a folder
// of thousands of hidden files must not freeze the window.
TEST_F(FolderRun, BothPassesYieldAfterEverySkippedItem) {
  fs::create_directory(source / "sub");
  for (const char* name : {".a", ".b", ".c"}) WriteFile(source / "sub" / name, "x");
  fs::create_directory(source / "sub" / ".hidden-folder");
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(0);
  ModalAnswerer answerer;
  window->p_CountItems(New<FolderItem>(source / "sub"));
  EXPECT_GE(ticks, 4);
  ticks = 0;
  window->p_ConvertSubFolder(New<FolderItem>(source / "sub"), New<FolderItem>(target));
  EXPECT_GE(ticks, 4);
  EXPECT_EQ(window->ItemCount, 0);
  EXPECT_EQ(Tree(target), Names{"sub/"});
  EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(FolderRun, CountingKeepsWhatItCountedBeforeAFolderItCannotList) {
  KOLVANE_SKIP_IF_ROOT();
  fs::create_directory(source / "b");
  for (const char* name : {"a", "b/x", "b/y", "c"}) WriteFile(source / name, "x");
  fs::permissions(source / "b", fs::perms::none);
  ModalAnswerer answerer;
  window->p_CountItems(New<FolderItem>(source));
  EXPECT_EQ(window->ItemCount, 2);
  EXPECT_EQ(answerer.Texts(), Names{kCountError});
}

TEST_F(FolderRun, OneFileAdvancesTheDisplayFromWhereItStands) {
  WriteFile(source / "a.txt", "a\r");
  window->StatusBar()->SetMaximum(9);
  window->StatusBar()->SetValue(4);
  window->ItemCount = 9;
  ModalAnswerer answerer;
  window->p_ConvertFile(New<FolderItem>(source / "a.txt"), New<FolderItem>(target));
  EXPECT_EQ(ReadFile(target / "a.txt"), "a\n");
  EXPECT_EQ(window->StatusText()->Text(), String(Status(5, 9)));
  EXPECT_EQ(window->StatusBar()->Value(), 5);
  EXPECT_TRUE(answerer.Seen().empty());

  // A failed file leaves the display where it was.
  window->p_ConvertFile(New<FolderItem>(source / "gone.txt"), New<FolderItem>(target));
  EXPECT_EQ(answerer.Texts(), Names{kFileError});
  EXPECT_EQ(window->StatusText()->Text(), String(Status(5, 9)));
  EXPECT_EQ(window->StatusBar()->Value(), 5);
}

TEST_F(FolderRun, OneFileRefusesToWriteOverItsOwnSource) {
  WriteFile(source / "a.txt", "a\r");
  fs::create_directory_symlink(source, dir / "link");
  ModalAnswerer answerer;
  window->p_ConvertFile(New<FolderItem>(source / "a.txt"), New<FolderItem>(dir / "link"));
  EXPECT_EQ(answerer.Texts(), Names{kFileError});
  EXPECT_EQ(ReadFile(source / "a.txt"), "a\r");
  EXPECT_EQ(ListNames(source), Names{"a.txt"});
}

TEST_F(FolderRun, OneSubfolderIsCopiedUnderItsOwnNameWithoutANotice) {
  fs::create_directory(source / "sub");
  WriteFile(source / "sub" / "b.txt", "b");
  ModalAnswerer answerer;
  window->p_ConvertSubFolder(New<FolderItem>(source / "sub"), New<FolderItem>(target));
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(Tree(target), (Names{"sub/", "sub/b.txt"}));
}

}  // namespace
}  // namespace kolvane
