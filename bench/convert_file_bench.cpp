// One large file: Kolvane's single-file conversion against a plain read and write of the
// same file (the physical limit of the job), cp, and iconv piped into tr.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "tests/support/EngineWindow.h"

namespace fs = std::filesystem;
using namespace kolvane;
using namespace kolvane::bench;

namespace {

void PlainReadAndWrite(const fs::path& from, const fs::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const off_t size = ::lseek(in, 0, SEEK_END);
  ::lseek(in, 0, SEEK_SET);
  char* buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(size)));
  for (off_t done = 0; done < size;) done += ::read(in, buffer + done, static_cast<std::size_t>(size - done));
  ::close(in);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (off_t done = 0; done < size;) done += ::write(out, buffer + done, static_cast<std::size_t>(size - done));
  ::close(out);
  std::free(buffer);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::size_t size = 256u << 20;
  const int runs = argc > 1 ? std::atoi(argv[1]) : 11;

  const fs::path dir = fs::temp_directory_path() / ("kolvane-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path source = dir / "big.txt";
  {
    std::mt19937 rng(7);
    const std::string text = MakeMacRomanText(size, rng);
    std::FILE* f = std::fopen(source.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::printf("256 MiB Mac OS Roman text with CR line breaks, %d runs each; MacRoman to UTF-8,\n"
              "CR to LF; iconv | tr is iconv -f MACINTOSH -t UTF-8 | tr '\\r' '\\n'\n\n", runs);

  auto window = New<test::EngineWindow>();
  window->Constructor();
  window->Choose("MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)", "Unix (LF)");
  auto sourceItem = New<FolderItem>(source);
  const fs::path converted = dir / "big_Converted.txt";

  // Before each run, untimed: the peer's last output goes, and what is still to be
  // written back reaches the disk, so that no run pays for another's writes.
  auto settle = [](fs::path output) {
    return [output = std::move(output)](int) {
      fs::remove(output);
      ::sync();
    };
  };
  std::vector<Peer> peers = {
      {"Kolvane p_ConvertSingleFile", settle(converted), [&](int) {
         if (!window->p_ConvertSingleFile(sourceItem)) std::abort();
       }},
      {"plain read and write", settle(dir / "plain.txt"), [&](int) {
         PlainReadAndWrite(source, dir / "plain.txt");
       }},
      {"cp", settle(dir / "cp.txt"), [&](int) {
         Shell("cp " + Quote(source) + " " + Quote(dir / "cp.txt"));
       }},
      {"iconv | tr", settle(dir / "iconv.txt"), [&](int) {
         Shell("iconv -f MACINTOSH -t UTF-8 < " + Quote(source) + " | tr '\\r' '\\n' > " +
               Quote(dir / "iconv.txt"));
       }},
  };
  Compare(peers, runs, {"plain read and write", "iconv | tr"});
  for (const Peer& p : peers) {
    std::printf("%-44s", (p.name + ", each run s").c_str());
    for (double t : p.times) std::printf(" %.3f", t);
    std::printf("\n");
  }

  window->Close();
  fs::remove_all(dir);
  return 0;
}
