#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <csignal>

#include <gtest/gtest.h>

#include "tests/support/Codes.h"
#include "tests/support/EngineWindow.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/Privileges.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using test::CodesOf;
using test::ListNames;
using test::ModalAnswerer;
using test::ReadFile;
using test::SetCodes;
using test::TempDir;
using test::WriteFile;

class SingleFile : public testing::Test {
 protected:
  void SetUp() override {
    window = New<test::EngineWindow>();
    window->Constructor();
  }
  void TearDown() override { window->Close(); }

  Ref<FolderItem> Convert(const std::filesystem::path& source) {
    return window->p_ConvertSingleFile(New<FolderItem>(source));
  }

  TempDir dir;
  Ref<test::EngineWindow> window;
};

TEST_F(SingleFile, ConvertsBesideTheSourceUnderTheConvertedName) {
  const std::string source = "Caf\x8E cr\x8Fme\r\xA5 \xDB 5\r";
  WriteFile(dir / "letter.txt", source);
  window->Choose("MacRoman", "UTF-8 (no BOM)", "Mac Classic (CR)", "Unix (LF)");
  ModalAnswerer answerer;
  const Ref<FolderItem> out = Convert(dir / "letter.txt");
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->Exists());
  EXPECT_EQ(out->Name(), String("letter_Converted.txt"));
  EXPECT_EQ(ReadFile(dir / "letter_Converted.txt"), "Café crème\n• € 5\n");
  EXPECT_EQ(ReadFile(dir / "letter.txt"), source);
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"letter.txt", "letter_Converted.txt"}));
}

TEST_F(SingleFile, UntickedBoxKeepsLineBreaksWhateverThePopupsShow) {
  WriteFile(dir / "win.txt", "one\r\ntwo\r\n");
  window->Choose("Windows Latin1", "UTF-8 (no BOM)");
  window->LBSourcePop()->SetListIndex(1);
  window->LBTargetPop()->SetListIndex(2);
  Convert(dir / "win.txt");
  EXPECT_EQ(ReadFile(dir / "win_Converted.txt"), "one\r\ntwo\r\n");
}

TEST_F(SingleFile, ReadsInTheSourceLabelsEncodingWithoutTouchingAByteOrderMark) {
  WriteFile(dir / "bom.txt", "\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9");
  window->Choose("UTF-8 (no BOM)", "UTF-8 (no BOM)");
  Convert(dir / "bom.txt");
  EXPECT_EQ(ReadFile(dir / "bom_Converted.txt"), "\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9");
  window->Choose("UTF-8 (no BOM)", "ISO Latin1");
  Convert(dir / "bom.txt");
  EXPECT_EQ(ReadFile(dir / "bom_Converted.txt"), "?\xE9t\xE9");
}

TEST_F(SingleFile, EmptySourceGivesEmptyOutputWithItsCodes) {
  WriteFile(dir / "empty.txt", "");
  const bool xattrs = ::setxattr((dir / "empty.txt").c_str(), "user.com.apple.FinderInfo",
                                 "TEXTttxt\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 32, 0) == 0;
  const Ref<FolderItem> out = Convert(dir / "empty.txt");
  ASSERT_TRUE(out);
  EXPECT_EQ(ReadFile(dir / "empty_Converted.txt"), "");
  if (xattrs) {
    EXPECT_EQ(FolderItem(dir / "empty_Converted.txt").MacType(), String("TEXT"));
    EXPECT_EQ(FolderItem(dir / "empty_Converted.txt").MacCreator(), String("ttxt"));
  }
}

TEST_F(SingleFile, ConvertingAgainReplacesAndConvertingTheOutputAddsASuffix) {
  WriteFile(dir / "a.txt", "first");
  Convert(dir / "a.txt");
  WriteFile(dir / "a.txt", "second");
  Convert(dir / "a.txt");
  EXPECT_EQ(ReadFile(dir / "a_Converted.txt"), "second");
  Convert(dir / "a_Converted.txt");
  EXPECT_TRUE(std::filesystem::exists(dir / "a_Converted_Converted.txt"));
}

TEST_F(SingleFile, NamesOutsideAsciiAreCutByCharacters) {
  WriteFile(dir / "résumé.txt", "x");
  Convert(dir / "résumé.txt");
  EXPECT_TRUE(std::filesystem::exists(dir / "résumé_Converted.txt"));
  WriteFile(dir / "README", "x");
  Convert(dir / "README");
  EXPECT_TRUE(std::filesystem::exists(dir / "_Converted.README"));
}

TEST_F(SingleFile, ALinkStandingAtTheOutputNameIsReplacedNotWrittenThrough) {
  WriteFile(dir / "a.txt", "new");
  WriteFile(dir / "other.txt", "keep me");
  std::filesystem::create_symlink(dir / "other.txt", dir / "a_Converted.txt");
  ASSERT_TRUE(Convert(dir / "a.txt"));
  EXPECT_EQ(ReadFile(dir / "other.txt"), "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "a_Converted.txt"));
  EXPECT_EQ(ReadFile(dir / "a_Converted.txt"), "new");
}

// An existing output keeps what the user set on it: write protection, permissions, and
// its codes until new content stands.
class ExistingOutput : public SingleFile {
 protected:
  void SetUp() override {
    SingleFile::SetUp();
    window->Choose("MacRoman", "UTF-8 (no BOM)");
    WriteFile(source, "caf\x8E");
    WriteFile(output, "the earlier output, longer than the new one");
    codes = SetCodes(source, "TEXTttxt") && SetCodes(output, "OLD?oldc");
  }
  mode_t ModeOf(const std::filesystem::path& p) const {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  ino_t InodeOf(const std::filesystem::path& p) const {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  const std::filesystem::path source = dir / "a.txt";
  const std::filesystem::path output = dir / "a_Converted.txt";
  bool codes = false;
};

TEST_F(ExistingOutput, OneTheUserMayNotWriteIsLeftAsItIs) {
  KOLVANE_SKIP_IF_ROOT();
  ::chmod(output.c_str(), 0444);
  ModalAnswerer answerer;
  EXPECT_FALSE(Convert(source));
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"application error in ConvertSingleFile"});
  EXPECT_EQ(ReadFile(output), "the earlier output, longer than the new one");
  EXPECT_EQ(ModeOf(output), 0444u);
  if (codes) {
    EXPECT_EQ(CodesOf(output), "OLD?oldc");
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"a.txt", "a_Converted.txt"}));
}

TEST_F(ExistingOutput, OneTheUserMayWriteIsReplacedWholeKeepingItsPermissions) {
  ::chmod(output.c_str(), 0640);
  ModalAnswerer answerer;
  ASSERT_TRUE(Convert(source));
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ReadFile(output), "café");
  EXPECT_EQ(ModeOf(output), 0640u);
  if (codes) {
    EXPECT_EQ(CodesOf(output), "TEXTttxt");
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"a.txt", "a_Converted.txt"}));
}

TEST_F(ExistingOutput, InAFolderTheUserMayNotWriteItIsWrittenInPlace) {
  KOLVANE_SKIP_IF_ROOT();
  ::chmod(output.c_str(), 0600);
  const ino_t inode = InodeOf(output);
  ::chmod(dir.path().c_str(), 0555);
  ModalAnswerer answerer;
  const Ref<FolderItem> out = Convert(source);
  ::chmod(dir.path().c_str(), 0755);
  ASSERT_TRUE(out);
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ReadFile(output), "café");
  EXPECT_EQ(InodeOf(output), inode);
  EXPECT_EQ(ModeOf(output), 0600u);
  if (codes) {
    EXPECT_EQ(CodesOf(output), "TEXTttxt");
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"a.txt", "a_Converted.txt"}));
}

// The output name may be a second name of the source itself; written in place, it
// would destroy the text being converted.
TEST_F(ExistingOutput, TheSourceUnderTheOutputNameIsNeverWrittenInPlace) {
  KOLVANE_SKIP_IF_ROOT();
  std::filesystem::remove(output);
  std::filesystem::create_hard_link(source, output);
  ::chmod(dir.path().c_str(), 0555);
  ModalAnswerer answerer;
  EXPECT_FALSE(Convert(source));
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"application error in ConvertSingleFile"});
  EXPECT_EQ(ReadFile(source), "caf\x8E");
}

// A write that fails half way (here the user's file size limit) leaves a file written in
// place as it was: the room for the new text is taken before any byte changes.
TEST_F(ExistingOutput, AFailedRewriteInPlaceLeavesTheFileAsItWas) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(source, std::string(5000, 'x'));
  ::chmod(dir.path().c_str(), 0555);
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  ModalAnswerer answerer;
  const Ref<FolderItem> out = Convert(source);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldSignal);
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_FALSE(out);
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"application error in ConvertSingleFile"});
  EXPECT_EQ(ReadFile(output), "the earlier output, longer than the new one");
  if (codes) {
    EXPECT_EQ(CodesOf(output), "OLD?oldc");
  }
}

// A link at the output name that leads to the source is replaced like any other link:
// the source itself is never written.
TEST_F(ExistingOutput, ALinkToTheSourceAtTheNameIsReplaced) {
  std::filesystem::remove(output);
  std::filesystem::create_symlink(source, output);
  ModalAnswerer answerer;
  ASSERT_TRUE(Convert(source));
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_FALSE(std::filesystem::is_symlink(output));
  EXPECT_EQ(ReadFile(output), "café");
  EXPECT_EQ(ReadFile(source), "caf\x8E");
}

// A folder at the output name takes no codes: they are set only on a file created.
TEST_F(ExistingOutput, AFolderAtTheNameKeepsItsOwnCodes) {
  std::filesystem::remove(output);
  std::filesystem::create_directory(output);
  if (!SetCodes(output, "fold????")) GTEST_SKIP() << "no user attributes on folders here";
  ModalAnswerer answerer;
  EXPECT_FALSE(Convert(source));
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"application error in ConvertSingleFile"});
  EXPECT_EQ(CodesOf(output), "fold????");
}

// Each failure shows exactly one message, returns none and leaves nothing behind.
class SingleFileFailures : public SingleFile {
 protected:
  void ExpectFailure(const Ref<FolderItem>& source) {
    const std::vector<std::string> before = ListNames(dir.path());
    ModalAnswerer answerer;
    EXPECT_FALSE(window->p_ConvertSingleFile(source));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "application error in ConvertSingleFile");
    EXPECT_EQ(answerer.Seen()[0].title, "");
    EXPECT_EQ(answerer.Seen()[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(ListNames(dir.path()), before);
  }
};

TEST_F(SingleFileFailures, NoSource) { ExpectFailure(nullptr); }

TEST_F(SingleFileFailures, MissingSource) { ExpectFailure(New<FolderItem>(dir / "gone.txt")); }

TEST_F(SingleFileFailures, FolderAsSource) {
  std::filesystem::create_directory(dir / "folder.txt");
  ExpectFailure(New<FolderItem>(dir / "folder.txt"));
}

TEST_F(SingleFileFailures, FifoAsSourceDoesNotBlock) {
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  ExpectFailure(New<FolderItem>(dir / "pipe.txt"));
}

TEST_F(SingleFileFailures, DeviceAsSource) { ExpectFailure(New<FolderItem>("/dev/zero")); }

TEST_F(SingleFileFailures, UnreadableSource) {
  KOLVANE_SKIP_IF_ROOT();
  WriteFile(dir / "secret.txt", "s");
  ::chmod((dir / "secret.txt").c_str(), 0);
  ExpectFailure(New<FolderItem>(dir / "secret.txt"));
}

TEST_F(SingleFileFailures, UnwritableOutputFolder) {
  KOLVANE_SKIP_IF_ROOT();
  std::filesystem::create_directory(dir / "ro");
  WriteFile(dir / "ro" / "a.txt", "a");
  ::chmod((dir / "ro").c_str(), 0555);
  ModalAnswerer answerer;
  EXPECT_FALSE(Convert(dir / "ro" / "a.txt"));
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"application error in ConvertSingleFile"});
  EXPECT_EQ(ListNames(dir / "ro"), std::vector<std::string>{"a.txt"});
}

TEST_F(SingleFileFailures, OutputNameTooLongLeavesNoTemporaryFile) {
  const std::string name = std::string(250, 'n') + ".txt";
  WriteFile(dir / name, "x");
  ExpectFailure(New<FolderItem>(dir / name));
}

TEST_F(SingleFileFailures, AFolderStandingAtTheOutputName) {
  WriteFile(dir / "a.txt", "a");
  std::filesystem::create_directory(dir / "a_Converted.txt");
  ExpectFailure(New<FolderItem>(dir / "a.txt"));
}

}  // namespace
}  // namespace kolvane
