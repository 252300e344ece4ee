#include "UserFolders.h"

#include <sys/stat.h>

#include <cstdlib>

namespace kolvane {

Ref<FolderItem> SpecialFolder::Preferences() {
  std::filesystem::path folder;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config && *config == '/') {
    folder = config;
  } else if (home && *home) {
    folder = std::filesystem::path(home) / ".config";
  } else {
    throw IOException("no home folder to keep preferences in");
  }
  // A fresh account may not have the folder yet: it is made as the desktop's own
  // programs make it, for its owner alone. A file standing in its place is no
  // Preferences folder at all.
  std::error_code ignored;
  if (!std::filesystem::exists(folder, ignored)) {
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    throw IOException("the Preferences folder " + folder.string() + " is not a folder");
  }
  return New<FolderItem>(folder);
}

}  // namespace kolvane
