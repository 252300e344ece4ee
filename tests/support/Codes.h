// Type and creator codes as the Finder keeps them, in the attribute the program uses.
#pragma once

#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace kolvane::test {

inline constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";

// Type then creator; false where the file system keeps no user attributes.
inline bool SetCodes(const std::filesystem::path& file, const std::string& typeAndCreator) {
  std::string info = typeAndCreator;
  info.resize(32, '\0');
  return ::setxattr(file.c_str(), kFinderInfo, info.data(), info.size(), 0) == 0;
}

// Type then creator, or empty when the item has none.
inline std::string CodesOf(const std::filesystem::path& file) {
  char buf[32];
  const ssize_t n = ::getxattr(file.c_str(), kFinderInfo, buf, sizeof buf);
  return n <= 0 ? std::string() : std::string(buf, static_cast<std::size_t>(std::min<ssize_t>(n, 8)));
}

}  // namespace kolvane::test
