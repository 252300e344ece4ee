// A folder run over a tree of many small files: Kolvane's p_Convert on a shown window,
// progress display and all, against cp -r of the same tree (the physical limit of the
// job: every file read and written once). Also prints how much Kolvane's peak memory
// grew during the runs, which should stay near the largest file, not the tree.
//
// On ext4, creating files for some minutes after many were deleted is several times
// slower, which hides the program's own cost: leave a few minutes after anything (this
// benchmark too) deleted a large tree on the same file system. It runs twice: in memory
// (tmpfs, /dev/shm), where the program's own cost shows most, and in TMPDIR.
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/Application.h"
#include "tests/support/EngineWindow.h"

namespace fs = std::filesystem;
using namespace kolvane;
using namespace kolvane::bench;

namespace {

constexpr int kFiles = 20000;
constexpr int kFolders = 200;

// About 200 folders, a fifth of them at the top and the rest one to three levels below,
// holding 20,000 files of 1 to 8 KiB.
void MakeTree(const fs::path& root) {
  std::mt19937 rng(11);
  const std::string pool = MakeMacRomanText(4u << 20, rng);
  std::vector<fs::path> folders;
  for (int i = 0; i < kFolders; ++i) {
    const fs::path parent = i < kFolders / 5 ? root : folders[rng() % folders.size()];
    char name[32];
    std::snprintf(name, sizeof name, "folder %03d", i);
    folders.push_back(parent / name);
    fs::create_directories(folders.back());
  }
  for (int i = 0; i < kFiles; ++i) {
    const std::size_t size = 1024 + rng() % (7 * 1024 + 1);
    const std::size_t at = rng() % (pool.size() - size);
    char name[32];
    std::snprintf(name, sizeof name, "note %05d.txt", i);
    std::ofstream(folders[rng() % folders.size()] / name, std::ios::binary).write(pool.data() + at, static_cast<std::streamsize>(size));
  }
}

// Answers the notice that ends a run with Return, as a user would.
void AnswerNotices() {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(dialog, &press);
  });
  timer->start(5);
}

// Times Kolvane against cp -r on a tree made under base, each run into a fresh folder.
void CompareOn(const fs::path& base, const char* where, int runs, test::EngineWindow& window) {
  const fs::path dir = base / ("kolvane-folder-bench-" + std::to_string(::getpid()));
  const fs::path source = dir / "Notes";
  MakeTree(source);
  Shell("sync");
  std::printf("%s (%s):\n", where, dir.c_str());
  const auto sourceItem = New<FolderItem>(source);

  // Every run writes into a folder never used before: on ext4, writing a tree where a
  // similar one was just deleted is several times slower. All are removed at the end.
  auto fresh = [&](const char* peer, int run) {
    const fs::path target = dir / (std::string(peer) + "-" + std::to_string(run));
    fs::create_directory(target);
    return target;
  };

  std::vector<Peer> peers = {
      {"Kolvane p_Convert (shown window)", [&](int run) {
         const fs::path target = fresh("kolvane", run);
         window.p_Convert(sourceItem, New<FolderItem>(target));
         if (window.StatusBar()->Value() != kFiles || !fs::exists(target / "Notes_Converted")) std::abort();
       }},
      {"cp -r", [&](int run) {
         const fs::path target = fresh("cp", run);
         Shell("cp -r " + Quote(source) + " " + Quote(target / "Notes"));
       }},
  };
  Compare(peers, runs, {"cp -r"});
  for (const Peer& p : peers) {
    std::printf("%-44s", (p.name + ", each run s").c_str());
    for (double t : p.times) std::printf(" %.3f", t);
    std::printf("\n");
  }
  std::printf("\n");
  fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  InitializeRuntime();
  // The notice window reads the application's name and versions.
  _RuntimeRegisterAppObject(New<Application>());
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::printf("%d Mac OS Roman files of 1 to 8 KiB with CR line breaks in %d folders, %d runs each;\n"
              "MacRoman to UTF-8, CR to LF, progress shown after every file\n\n", kFiles, kFolders, runs);

  auto window = New<test::EngineWindow>();
  window->Constructor();
  window->Choose("MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)", "Unix (LF)");
  window->Show();
  AnswerNotices();

  // Resets the peak so that it counts from here.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long rssBefore = StatusKiB("VmRSS");
  if (fs::is_directory("/dev/shm")) CompareOn("/dev/shm", "in memory, tmpfs", runs, *window);
  CompareOn(fs::temp_directory_path(), "in TMPDIR", runs, *window);
  const long peak = StatusKiB("VmHWM");
  std::printf("Kolvane's peak resident memory during the runs: %ld KiB above the %ld KiB before\n",
              peak - rssBefore, rssBefore);
  window->Close();
  return 0;
}
