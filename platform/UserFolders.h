// The user's folders the program knows.
#pragma once

#include "FolderItem.h"
#include "Runtime.h"

namespace kolvane {

struct SpecialFolder {
  // $XDG_CONFIG_HOME, or ~/.config when it is not set. Raises IOException when there is
  // no home, or when a file stands where the folder should be.
  static Ref<FolderItem> Preferences();
};

}  // namespace kolvane
