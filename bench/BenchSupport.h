// Timing helpers shared by the benchmarks.
#pragma once

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kolvane::bench {

// Mostly ASCII prose in Mac OS Roman, lines ended by CR: about one word in twelve has an
// accented letter, a bullet or a euro sign (some 2 % of the bytes).
std::string MakeMacRomanText(std::size_t size, std::mt19937& rng);

double Seconds(const std::function<void()>& work);
double Median(std::vector<double> values);
// Kilobytes from a line of /proc/self/status ("VmRSS", "VmHWM"), or -1.
long StatusKiB(const char* field);
// Runs a shell command; aborts the benchmark when it fails.
void Shell(const std::string& command);
std::string Quote(const std::string& path);

struct Peer {
  Peer(std::string n, std::function<void(int run)> w) : name(std::move(n)), work(std::move(w)) {}
  Peer(std::string n, std::function<void(int run)> p, std::function<void(int run)> w)
      : name(std::move(n)), prepare(std::move(p)), work(std::move(w)) {}
  std::string name;
  std::function<void(int run)> prepare;  // untimed, before each run
  std::function<void(int run)> work;     // run numbers let each run write somewhere new
  std::vector<double> times;
};

// Runs every peer `runs` times, interleaved so that they share the machine's moods, and
// prints the medians and each one's ratio to the reference peers.
void Compare(std::vector<Peer>& peers, int runs, const std::vector<std::string>& references);

}  // namespace kolvane::bench
