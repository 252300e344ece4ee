#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace kolvane::bench {

std::string MakeMacRomanText(std::size_t size, std::mt19937& rng) {
  const std::vector<std::string> plain = {"the", "file", "converter", "text", "encoding", "line",
                                          "break", "and", "of", "with", "for", "folder", "tree",
                                          "window", "copy"};
  const std::vector<std::string> accented = {"caf\x8E", "cr\x8Fme", "na\x95ve", "\xA5", "\xDB",
                                             "r\x8Esum\x8E", "\xD2quoted\xD3", "Z\x9Frich"};
  std::string text;
  text.reserve(size + 64);
  std::size_t line = 0;
  while (text.size() < size) {
    const std::string& w = rng() % 12 == 0 ? accented[rng() % accented.size()] : plain[rng() % plain.size()];
    text += w;
    line += w.size() + 1;
    if (line > 60) {
      text += '\r';
      line = 0;
    } else {
      text += ' ';
    }
  }
  text.resize(size);
  return text;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string Quote(const std::string& path) {
  std::string q = "'";
  for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void Compare(std::vector<Peer>& peers, int runs, const std::vector<std::string>& references) {
  for (int run = 0; run < runs; ++run) {
    for (Peer& p : peers) {
      if (p.prepare) p.prepare(run);
      p.times.push_back(Seconds([&] { p.work(run); }));
    }
  }
  std::printf("%-44s %10s", "", "median s");
  for (const std::string& r : references) std::printf("  %14s", ("vs " + r).substr(0, 14).c_str());
  std::printf("\n");
  for (const Peer& p : peers) {
    std::printf("%-44s %10.3f", p.name.c_str(), Median(p.times));
    for (const std::string& r : references) {
      const auto ref = std::find_if(peers.begin(), peers.end(), [&](const Peer& q) { return q.name == r; });
      std::printf("  %13.2fx", Median(p.times) / Median(ref->times));
    }
    std::printf("\n");
  }
}

}  // namespace kolvane::bench
