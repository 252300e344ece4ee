#include "Pictures.h"

#include "platform/Application.h"
#include "platform/FolderItem.h"

namespace kolvane {
namespace {

// One accessor's state: the picture once loaded, and whether it was ever asked for.
struct BundlePicture {
  const char* file;
  bool whiteIsTransparent;
  Ref<Picture> cache;
  bool asked = false;

  Ref<Picture> Get() {
    if (!asked) {
      asked = true;
      cache = nullptr;
    }
    if (!cache) {
      if (const Ref<FolderItem> resources = _GetApplicationBundleResources()) {
        cache = resources->Child(file)->OpenAsPicture();
        if (cache && whiteIsTransparent) cache->SetTransparent(1);
      }
    }
    return cache;
  }
};

}  // namespace

Ref<Picture> Ordner() {
  static BundlePicture picture{"Ordner.pct", true, nullptr};
  return picture.Get();
}

Ref<Picture> about() {
  static BundlePicture picture{"about.pct", false, nullptr};
  return picture.Get();
}

Ref<Picture> TrafficCone() {
  static BundlePicture picture{"TrafficCone.pct", true, nullptr};
  return picture.Get();
}

}  // namespace kolvane
