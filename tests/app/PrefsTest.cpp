#include <sys/stat.h>

#include <cstdlib>

#include <QTimer>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Prefs_Modul.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/Privileges.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using namespace Prefs_Modul;
using test::ModalAnswerer;
using test::ReadFile;
using test::WriteFile;

// Each test starts as the program does: nothing loaded, the Preferences folder a
// temporary one.
class Prefs : public testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    Prefs_Values = nullptr;
    Prefs_PrefsFolder = nullptr;
    PrefsFile = nullptr;
  }
  void TearDown() override {
    Prefs_Values = nullptr;
    Prefs_PrefsFolder = nullptr;
    PrefsFile = nullptr;
  }
  std::filesystem::path File() const { return config / "Kolvane_Prefs.txt"; }
  std::vector<std::pair<std::string, std::string>> Entries() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (std::int32_t i = 0; i < Prefs_Values->Count(); ++i) {
      const String k = Prefs_Values->Key(i);
      out.emplace_back(k.Bytes(), Prefs_Values->Value(k).Bytes());
    }
    return out;
  }

  test::TempDir config;
};

TEST_F(Prefs, FirstStartCreatesAnEmptyFileQuietly) {
  ModalAnswerer answerer;
  EXPECT_TRUE(Prefs_Initialize());
  ASSERT_TRUE(std::filesystem::exists(File()));
  EXPECT_EQ(ReadFile(File()), "");
  EXPECT_EQ(Prefs_Values->Count(), 0);
  EXPECT_EQ(Prefs_PrefsFolder->AbsolutePath(), String(config.path().string()));
  EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(Prefs, LinesSplitAtTheirFirstTabAndTheLastOfEqualKeysWins) {
  WriteFile(File(),
            "theme\tdark\n"
            "path\t/a\tb\tc\n"
            "\tleading\n"
            "trailing\t\n"
            " spaced key \t spaced value \n"
            "no tab here\n"
            "theme\tlight\n"
            "\n");
  EXPECT_TRUE(Prefs_Initialize());
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, std::string>>{
                           {"theme", "light"},
                           {"path", "/a\tb\tc"},
                           {"", ""},  // the blank last line wins over "\tleading" and "no tab here"
                           {"trailing", ""},
                           {" spaced key ", " spaced value "},
                       }));
  EXPECT_TRUE(Prefs_GetValue("missing").IsEmpty());
  EXPECT_EQ(Prefs_GetValue(" spaced key "), String(" spaced value "));
  EXPECT_TRUE(Prefs_GetValue("spaced key").IsEmpty());
}

TEST_F(Prefs, WritingPutsEveryEntryOnItsLineInTheMapsOrder) {
  WriteFile(File(), "b\t2\na\t1\nb\t3\n");
  ASSERT_TRUE(Prefs_Initialize());
  Prefs_PutValue("c", "4");
  Prefs_PutValue("a", "one");
  EXPECT_EQ(ReadFile(File()), "b\t2\na\t1\nb\t3\n");  // in memory only
  Prefs_WriteToFile();
  EXPECT_EQ(ReadFile(File()), "b\t3\na\tone\nc\t4\n");

  // Written unchanged, a TAB in a key or a line break in a value reads back otherwise.
  Prefs_PutValue("k\tey", "multi\nline");
  Prefs_WriteToFile();
  ASSERT_TRUE(Prefs_ReadFromFile());
  EXPECT_EQ(Prefs_GetValue("k"), String("ey\tmulti"));
  EXPECT_EQ(Prefs_GetValue(""), String("line"));
}

TEST_F(Prefs, AnEmptyMapEmptiesTheFile) {
  WriteFile(File(), "old\tvalue\n");
  Prefs_Values = New<Dictionary>();
  Prefs_PrefsFolder = New<FolderItem>(config.path());
  Prefs_WriteToFile();
  EXPECT_EQ(ReadFile(File()), "");
}

TEST_F(Prefs, AChosenFileIsUsedInsteadOfTheDefault) {
  WriteFile(config / "other.txt", "x\ty\n");
  PrefsFile = New<FolderItem>(config / "other.txt");
  ASSERT_TRUE(Prefs_Initialize());
  EXPECT_EQ(Prefs_GetValue("x"), String("y"));
  EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(Prefs, BeforeLoadingReadsReportAndWritesDoNothing) {
  ModalAnswerer answerer;
  EXPECT_TRUE(Prefs_GetValue("x").IsEmpty());
  Prefs_PutValue("x", "y");
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"Exception in Prefs_GetValue"});
}

TEST_F(Prefs, WithoutAPreferencesFolderReadingAndWritingReport) {
  Prefs_Values = New<Dictionary>();
  ModalAnswerer answerer;
  EXPECT_FALSE(Prefs_ReadFromFile());
  Prefs_WriteToFile();
  EXPECT_EQ(answerer.Texts(),
            (std::vector<std::string>{"Exception in Prefs:ReadPrefs", "Exception in Prefs:WriteToFile"}));
}

TEST_F(Prefs, ALostMapIsReportedAndTheFileKeepsItsEntries) {
  WriteFile(File(), "keep\tme\n");
  Prefs_PrefsFolder = New<FolderItem>(config.path());
  ModalAnswerer answerer;
  Prefs_WriteToFile();
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"Exception in Prefs:WriteToFile"});
  EXPECT_EQ(ReadFile(File()), "keep\tme\n");
  EXPECT_EQ(test::ListNames(config.path()), std::vector<std::string>{"Kolvane_Prefs.txt"});
}

TEST_F(Prefs, AMissingPreferencesFolderIsMadeForItsOwner) {
  const test::TempDir home;
  ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  EXPECT_TRUE(Prefs_Initialize());
  EXPECT_EQ(ReadFile(home / "config" / "Kolvane_Prefs.txt"), "");
  EXPECT_EQ(std::filesystem::status(home / "config").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
}

TEST_F(Prefs, AFolderThatTakesNoFileIsQuiet) {
  KOLVANE_SKIP_IF_ROOT();
  ::chmod(config.path().c_str(), 0555);
  ModalAnswerer answerer;
  EXPECT_TRUE(Prefs_Initialize());
  EXPECT_EQ(Prefs_Values->Count(), 0);
  EXPECT_TRUE(answerer.Seen().empty());
  ::chmod(config.path().c_str(), 0755);
  EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(Prefs, AnUnreadableFileLeavesTheMapEmptyAndQuiet) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(File(), "a\t1\n");
  ::chmod(File().c_str(), 0);
  ModalAnswerer answerer;
  EXPECT_TRUE(Prefs_Initialize());
  EXPECT_FALSE(Prefs_ReadFromFile());
  EXPECT_EQ(Prefs_Values->Count(), 0);
  EXPECT_TRUE(answerer.Seen().empty());
}

// The user's own arrangements of the file stay: a file kept elsewhere behind a link, a
// file in a folder the user may not write, a file the user has write-protected.
TEST_F(Prefs, ALinkedFileIsRewrittenWhereItLives) {
  const test::TempDir dotfiles;
  WriteFile(dotfiles / "kolvane.txt", "a\t1\n");
  std::filesystem::create_symlink(dotfiles / "kolvane.txt", File());
  ASSERT_TRUE(Prefs_Initialize());
  EXPECT_EQ(Prefs_GetValue("a"), String("1"));
  Prefs_PutValue("b", "2");
  ModalAnswerer answerer;
  Prefs_WriteToFile();
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_TRUE(std::filesystem::is_symlink(File()));
  EXPECT_EQ(ReadFile(dotfiles / "kolvane.txt"), "a\t1\nb\t2\n");
  EXPECT_EQ(test::ListNames(dotfiles.path()), std::vector<std::string>{"kolvane.txt"});
  EXPECT_EQ(test::ListNames(config.path()), std::vector<std::string>{"Kolvane_Prefs.txt"});

  // A link whose file is missing makes the file there at the first start.
  std::filesystem::remove(dotfiles / "kolvane.txt");
  EXPECT_TRUE(Prefs_Initialize());
  EXPECT_TRUE(std::filesystem::is_symlink(File()));
  EXPECT_EQ(ReadFile(dotfiles / "kolvane.txt"), "");
}

TEST_F(Prefs, AWritableFileInAFolderTheUserMayNotWriteIsRewrittenInPlace) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(File(), "a\t1\nlonger\tthan what follows\n");
  ASSERT_TRUE(Prefs_Initialize());
  Prefs_Values->Clear();
  Prefs_PutValue("b", "2");
  Prefs_PutValue("c", "3");
  ::chmod(config.path().c_str(), 0555);
  // The store yields after every line it writes; meanwhile the file is as it was.
  std::vector<std::string> seen;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] { seen.push_back(ReadFile(File())); });
  look.start(0);
  ModalAnswerer answerer;
  Prefs_WriteToFile();
  look.stop();
  ::chmod(config.path().c_str(), 0755);
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ReadFile(File()), "b\t2\nc\t3\n");
  ASSERT_FALSE(seen.empty());
  for (const std::string& content : seen) EXPECT_EQ(content, "a\t1\nlonger\tthan what follows\n");
}

TEST_F(Prefs, AWriteProtectedFileIsLeftAsItIsQuietly) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(File(), "a\t1\n");
  ::chmod(File().c_str(), 0444);
  ASSERT_TRUE(Prefs_Initialize());
  Prefs_PutValue("b", "2");
  ModalAnswerer answerer;
  Prefs_WriteToFile();
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ReadFile(File()), "a\t1\n");
  EXPECT_EQ(test::ListNames(config.path()), std::vector<std::string>{"Kolvane_Prefs.txt"});
}

}  // namespace
}  // namespace kolvane
