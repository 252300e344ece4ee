// Real files in a temporary folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kolvane::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// Names in a folder, sorted, hidden ones included.
std::vector<std::string> ListNames(const std::filesystem::path& folder);
// Every entry below root, hidden ones included, as sorted relative paths; folders end in
// "/". Links are listed, not followed.
std::vector<std::string> Tree(const std::filesystem::path& root);

}  // namespace kolvane::test
