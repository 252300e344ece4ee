// Peak memory of one large file's conversion against the sizes of its input and output.
// Each conversion runs in a child process of its own, so that its peak is its own: the
// child resets its peak once it is set up, converts, and reports.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "tests/support/EngineWindow.h"

namespace fs = std::filesystem;
using namespace kolvane;
using namespace kolvane::bench;

namespace {

constexpr std::size_t kMiB = 1 << 20;

// The child, given the file and the four popups' labels: converts the file beside itself
// and prints its resident memory before and its peak during the conversion, in KiB.
int Child(int argc, char** argv) {
  if (argc != 7) return 2;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  auto window = New<test::EngineWindow>();
  window->Constructor();
  const std::string lbSource = argv[5];
  const std::string lbTarget = argv[6];
  window->Choose(argv[3], argv[4], lbSource.empty() ? nullptr : lbSource.c_str(),
                 lbTarget.empty() ? nullptr : lbTarget.c_str());
  const auto source = New<FolderItem>(fs::path(argv[2]));
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak counts from here
  const long before = StatusKiB("VmRSS");
  if (!window->p_ConvertSingleFile(source)) return 1;
  std::printf("%ld %ld\n", before, StatusKiB("VmHWM"));
  window->Close();
  return 0;
}

// Writes size bytes made by make(chunk size) a chunk at a time, so that the parent never
// holds the whole file.
void WriteInChunks(const fs::path& path, std::size_t size, const std::function<std::string(std::size_t)>& make) {
  std::ofstream out(path, std::ios::binary);
  for (std::size_t done = 0; done < size;) {
    const std::string chunk = make(std::min<std::size_t>(16 * kMiB, size - done));
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    done += chunk.size();
  }
}

struct Case {
  std::string name;
  fs::path source;
  const char* from;
  const char* to;
  const char* lbFrom;  // "" leaves the line breaks
  const char* lbTo;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--child") return Child(argc, argv);
  const std::size_t size = 512 * kMiB;

  const fs::path dir = fs::temp_directory_path() / ("kolvane-membench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::mt19937 rng(11);
  const fs::path high = dir / "high.txt";
  WriteInChunks(high, size, [&](std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(0x80 | (rng() & 0x7F));
    return s;
  });
  const fs::path prose = dir / "prose.txt";
  WriteInChunks(prose, size, [&](std::size_t n) { return MakeMacRomanText(n, rng); });
  // UTF-8 with LF breaks, for the directions out of UTF-8: the prose, converted once.
  const fs::path prose8 = dir / "prose8.txt";
  {
    std::ifstream in(prose, std::ios::binary);
    std::ofstream out(prose8, std::ios::binary);
    std::string chunk(16 * kMiB, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
      chunk.resize(static_cast<std::size_t>(in.gcount()));
      std::string utf8 = transcode::Convert(std::string(chunk), Charset::MacRoman, Charset::UTF8);
      for (char& c : utf8) c = c == '\r' ? '\n' : c;
      out.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
      chunk.resize(16 * kMiB);
    }
  }

  const std::vector<Case> cases = {
      {"only high bytes, MacRoman to UTF-8, CR to LF", high, "MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)",
       "Unix (LF)"},
      {"mostly ASCII, MacRoman to UTF-8, CR to LF", prose, "MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)",
       "Unix (LF)"},
      {"mostly ASCII, MacRoman to UTF-8, CR to CRLF", prose, "MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)",
       "Windows (CRLF)"},
      {"mostly ASCII, MacRoman to ISO Latin1", prose, "MacRoman", "ISO Latin1", "", ""},
      {"mostly ASCII, MacRoman to MacRoman, CR to CRLF", prose, "MacRoman", "MacRoman", "Mac Classic (CR)",
       "Windows (CRLF)"},
      {"UTF-8 prose to Windows Latin1, LF to CRLF", prose8, "UTF-8 (no BOM)", "Windows Latin1", "Unix (LF)",
       "Windows (CRLF)"},
      {"only high bytes, MacRoman to UTF-8, output back to MacRoman", dir / "high_Converted.txt", "UTF-8 (no BOM)",
       "MacRoman", "", ""},
  };
  std::printf("One file's conversion in a child process of its own, memory in MiB: 'before' is the\n"
              "child's resident memory once set up, 'peak' the most it held while converting, 'before'\n"
              "included; bound: output + input / 4 + 64 MiB\n\n");
  std::printf("%-62s %8s %8s %8s %8s %8s %9s\n", "", "input", "output", "before", "peak", "bound",
              "peak/out");
  const std::string self = fs::read_symlink("/proc/self/exe");
  for (const Case& c : cases) {
    const std::string command = Quote(self) + " --child " + Quote(c.source) + " " + Quote(c.from) + " " +
                                Quote(c.to) + " " + Quote(c.lbFrom) + " " + Quote(c.lbTo) + " 2>/dev/null";
    std::FILE* child = ::popen(command.c_str(), "r");
    long before = -1;
    long peak = -1;
    if (child == nullptr || std::fscanf(child, "%ld %ld", &before, &peak) != 2 || ::pclose(child) != 0) {
      std::printf("%-62s failed\n", c.name.c_str());
      return 1;
    }
    fs::path output = c.source;
    output.replace_filename(c.source.stem().string() + "_Converted" + c.source.extension().string());
    const double in = static_cast<double>(fs::file_size(c.source)) / kMiB;
    const double out = static_cast<double>(fs::file_size(output)) / kMiB;
    const double bound = out + in / 4 + 64;
    const double peakMiB = static_cast<double>(peak) / 1024;
    // A text read whole is held whole: where the output is much smaller than the input,
    // the input decides the peak.
    const char* note = peakMiB <= bound ? "" : in > out ? "  over: the input, read whole, is larger" : "  over";
    std::printf("%-62s %8.0f %8.0f %8.0f %8.0f %8.0f %8.2fx%s\n", c.name.c_str(), in, out,
                static_cast<double>(before) / 1024, peakMiB, bound, peakMiB / out, note);
    std::fflush(stdout);
  }
  fs::remove_all(dir);
  return 0;
}
