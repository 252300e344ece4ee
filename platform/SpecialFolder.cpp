#include "SpecialFolder.h"

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
  // A folder that does not exist yet may still come; a file standing in its place is no
  // Preferences folder at all.
  struct stat st;
  if (::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    throw IOException("the Preferences folder " + folder.string() + " is not a folder");
  }
  return New<FolderItem>(folder);
}

}  // namespace kolvane
