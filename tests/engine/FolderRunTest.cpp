#include <gtest/gtest.h>

#include "app/Prefs_Modul.h"
#include "tests/support/EngineWindow.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/Privileges.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using test::ListNames;
using test::ModalAnswerer;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

class FolderRun : public testing::Test {
 protected:
  void SetUp() override {
    window = New<test::EngineWindow>();
    window->Constructor();
    window->Choose("MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)", "Unix (LF)");
    fs::create_directory(dir / "Docs");
    fs::create_directory(dir / "out");
  }
  void TearDown() override { window->Close(); }

  void Run(const fs::path& source, const fs::path& target) {
    window->p_Convert(New<FolderItem>(source), New<FolderItem>(target));
  }

  TempDir dir;
  Ref<test::EngineWindow> window;
};

TEST_F(FolderRun, MirrorsTheVisibleTreeAndClosesWithTheNotice) {
  WriteFile(dir / "Docs" / "a.txt", "caf\x8E\r");
  fs::create_directory(dir / "Docs" / "sub");
  WriteFile(dir / "Docs" / "sub" / "b.txt", "b\r");
  WriteFile(dir / "Docs" / ".hidden", "h");
  ModalAnswerer answerer;
  Run(dir / "Docs", dir / "out");
  EXPECT_EQ(ReadFile(dir / "out" / "Docs_Converted" / "a.txt"), "caf\xC3\xA9\n");
  EXPECT_EQ(ReadFile(dir / "out" / "Docs_Converted" / "sub" / "b.txt"), "b\n");
  EXPECT_EQ(ListNames(dir / "out" / "Docs_Converted"), (std::vector<std::string>{"a.txt", "sub"}));
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"Conversion done successfull."});
  EXPECT_EQ(window->ItemCount, 2);
  EXPECT_EQ(window->StatusBar()->Value(), 2);
  EXPECT_EQ(window->StatusBar()->Maximum(), 2);
  EXPECT_EQ(window->StatusText()->Text(), String("2 of 2 (hit esc to stop)"));
  EXPECT_EQ(window->myPanel()->Value(), 1);
}

}  // namespace
}  // namespace kolvane
