#include "Bundle.h"

namespace kolvane::test {

TestBundle::TestBundle(bool withPictures) : previous_(_GetAppObject()) {
  std::filesystem::create_directories(dir_ / "Kolvane" / "bin");
  std::filesystem::create_directories(Resources());
  if (withPictures) AddPictures();
  _RuntimeRegisterAppObject(New<BundleApplication>(dir_ / "Kolvane" / "bin" / "Kolvane"));
}

TestBundle::~TestBundle() { _RuntimeRegisterAppObject(previous_); }

void TestBundle::AddPictures() const {
  for (const char* name : {"Ordner.pct", "about.pct", "TrafficCone.pct"}) {
    std::filesystem::copy_file(std::filesystem::path(KOLVANE_BUNDLE_DIR) / "Resources" / name, Resources() / name,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

std::filesystem::path ScreenshotFolder() {
  const std::filesystem::path dir = std::filesystem::path(KOLVANE_BUILD_DIR) / "screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace kolvane::test
