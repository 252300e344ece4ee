// A bundle of the program's own in a temporary folder, for tests of what it reads from
// its Resources folder: an application object whose executable lies in <dir>/bin.
#pragma once

#include <filesystem>

#include "platform/Application.h"
#include "tests/support/TempDir.h"

namespace kolvane::test {

class BundleApplication : public Application {
 public:
  explicit BundleApplication(std::filesystem::path executable) : executable_(std::move(executable)) {}
  Ref<FolderItem> ExecutableFile() const override { return New<FolderItem>(executable_); }

 private:
  std::filesystem::path executable_;
};

class TestBundle {
 public:
  // withPictures: copy the pictures the build drew into the bundle's Resources.
  explicit TestBundle(bool withPictures);
  ~TestBundle();
  std::filesystem::path Resources() const { return dir_ / "Kolvane" / "Resources"; }
  void AddPictures() const;

 private:
  TempDir dir_;
  Ref<Application> previous_;
};

// Where tests leave pictures of windows for people to look at.
std::filesystem::path ScreenshotFolder();

}  // namespace kolvane::test
