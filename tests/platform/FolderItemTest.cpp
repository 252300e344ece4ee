#include "platform/FolderItem.h"

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>

#include <random>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "tests/support/Printers.h"
#include "tests/support/Privileges.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using test::ListNames;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

bool HasUserXattrs(const std::filesystem::path& dir) {
  const auto probe = dir / ".probe";
  WriteFile(probe, "");
  const bool ok = ::setxattr(probe.c_str(), "user.kolvane.probe", "x", 1, 0) == 0;
  std::filesystem::remove(probe);
  return ok;
}

TEST(FolderItemNames, NamesPathsAndParents) {
  TempDir dir;
  FolderItem folder(dir.path());
  EXPECT_EQ(folder.AbsolutePath(), String(dir.path().native()));
  const Ref<FolderItem> child = folder.Child("résumé.txt");
  ASSERT_TRUE(child);
  EXPECT_EQ(child->Name(), String("résumé.txt"));
  EXPECT_FALSE(child->Exists());
  EXPECT_TRUE(child->Parent()->IsSameItemAs(folder));
  EXPECT_FALSE(FolderItem("/").Parent());
  EXPECT_TRUE(FolderItem("/").Name().IsEmpty());
  EXPECT_EQ(FolderItem(dir.path().native() + "/").Name(), folder.Name());
  for (const char* bad : {"", ".", "..", "a/b"}) EXPECT_FALSE(folder.Child(bad)) << bad;
}

TEST(FolderItemNames, NamesThatAreNotUtf8RoundTrip) {
  TempDir dir;
  const std::string odd = "caf\xe9\xff.txt";
  WriteFile(dir / odd, "x");
  FolderItem folder(dir.path());
  ASSERT_EQ(folder.Count(), 1);
  const Ref<FolderItem> item = folder.Item(1);
  EXPECT_EQ(item->Name().Bytes(), odd);
  EXPECT_TRUE(folder.Child(item->Name())->Exists());
  EXPECT_EQ(item->DisplayName(), String("caf\xef\xbf\xbd\xef\xbf\xbd.txt"));
}

TEST(FolderItemListing, ItemsCountFromOneInNameOrder) {
  TempDir dir;
  for (const char* n : {"b.txt", ".hidden", "a.txt", "sub", "C.txt"}) {
    if (std::string(n) == "sub") std::filesystem::create_directory(dir / n);
    else WriteFile(dir / n, n);
  }
  FolderItem folder(dir.path());
  ASSERT_EQ(folder.Count(), 5);
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= 5; ++i) names.push_back(folder.Item(i)->Name().Bytes());
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "C.txt", "a.txt", "b.txt", "sub"}));
  EXPECT_FALSE(folder.Item(0));
  EXPECT_FALSE(folder.Item(6));
  EXPECT_FALSE(folder.Item(1)->Visible());
  EXPECT_TRUE(folder.Item(2)->Visible());
  EXPECT_TRUE(folder.Item(5)->Directory());
  EXPECT_FALSE(folder.Item(4)->Directory());
  EXPECT_EQ(folder.Item(4)->Count(), 0);  // a file has no entries
  EXPECT_EQ(folder.Child("missing")->Count(), 0);
}

TEST(FolderItemListing, LinkedFoldersAreEnteredUnlessTheyLeadRound) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir / "top" / "real" / "deep");
  fs::create_directories(dir / "elsewhere");
  WriteFile(dir / "top" / "real" / "f.txt", "x");
  WriteFile(dir / "elsewhere" / "e.txt", "x");
  fs::create_directory_symlink(dir / "top" / "real", dir / "top" / "link");        // a sibling
  fs::create_directory_symlink(dir / "elsewhere", dir / "top" / "far");            // outside
  fs::create_directory_symlink(dir / "top", dir / "top" / "real" / "self");        // the top itself
  fs::create_directory_symlink("..", dir / "top" / "real" / "deep" / "up");        // on the way down
  fs::create_directory_symlink(dir.path(), dir / "top" / "real" / "holder");       // holds the top
  fs::create_symlink(dir / "nowhere", dir / "top" / "dangling");
  FolderItem top(dir / "top");
  ASSERT_EQ(top.Count(), 4);  // dangling, far, link, real
  const Ref<FolderItem> dangling = top.Item(1), far = top.Item(2), link = top.Item(3), real = top.Item(4);
  EXPECT_FALSE(dangling->Exists());
  EXPECT_FALSE(dangling->Directory());
  EXPECT_TRUE(link->Directory());
  EXPECT_EQ(far->Count(), 1);
  EXPECT_EQ(link->Count(), 4);  // deep, f.txt, holder, self: entered like the folder it names
  EXPECT_EQ(real->Count(), 4);
  const Ref<FolderItem> deep = real->Item(1), holder = real->Item(3), self = real->Item(4);
  EXPECT_EQ(holder->Name(), String("holder"));
  EXPECT_EQ(self->Name(), String("self"));
  EXPECT_TRUE(holder->Directory());
  EXPECT_EQ(holder->Count(), 0);
  EXPECT_EQ(self->Count(), 0);
  ASSERT_EQ(deep->Count(), 1);
  EXPECT_EQ(deep->Item(1)->Count(), 0);
  // Through the sibling link, the same folders lead round the same way.
  EXPECT_EQ(link->Item(4)->Count(), 0);
  // Chosen directly, any folder is listed.
  EXPECT_EQ(FolderItem(dir / "top" / "real" / "holder").Count(), 2);
  EXPECT_EQ(FolderItem(dir / "top" / "link").Count(), 4);
}

TEST(FolderItemListing, UnreadableFolderRaises) {
  KOLVANE_SKIP_IF_ROOT();
  TempDir dir;
  std::filesystem::create_directory(dir / "locked");
  ::chmod((dir / "locked").c_str(), 0);
  FolderItem locked(dir / "locked");
  EXPECT_THROW(locked.Count(), IOException);
}

TEST(TextStreams, ReadAllGivesTheBytesUnchangedWithTheEncodingGiven) {
  TempDir dir;
  const std::string bytes = std::string("\xEF\xBB\xBF") + "caf\x8E\r\n\0end" + std::string(1, '\0');
  WriteFile(dir / "in.txt", bytes);
  const Ref<TextInputStream> in = FolderItem(dir / "in.txt").OpenAsTextFile();
  ASSERT_TRUE(in);
  const String all = in->ReadAll(Encodings::MacRoman);
  EXPECT_EQ(all.Bytes(), bytes);
  EXPECT_EQ(all.Encoding(), Encodings::MacRoman);
  EXPECT_TRUE(in->EOF_());
  EXPECT_TRUE(in->ReadAll().IsEmpty());
  in->Close();
  EXPECT_THROW(in->ReadAll(), IOException);
}

std::string RandomBytes(std::mt19937& rng, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

TEST(TextStreams, ReadAllReadsFilesOfAnySizeWhole) {
  TempDir dir;
  std::mt19937 rng(5);
  for (const std::size_t size : {0u, 1u, 2u, 7u, 15u, 16u, 17u, 63u, 4095u, 4097u, 65535u, 131073u, 3000017u}) {
    const std::string bytes = RandomBytes(rng, size);
    WriteFile(dir / "in.txt", bytes);
    const Ref<TextInputStream> in = FolderItem(dir / "in.txt").OpenAsTextFile();
    ASSERT_TRUE(in);
    const String all = in->ReadAll(Encodings::ISOLatin1);
    ASSERT_EQ(all.Bytes().size(), size);
    EXPECT_TRUE(all.Bytes() == bytes) << size << " bytes";
    EXPECT_TRUE(in->EOF_());
    EXPECT_TRUE(in->ReadAll().IsEmpty());
  }
}

TEST(TextStreams, ReadAllTakesWhatTheFileHoldsWhenItIsRead) {
  TempDir dir;
  std::mt19937 rng(6);
  const std::string first = RandomBytes(rng, 3000);
  // Grown after it was opened, by more than the room kept for its text to grow.
  WriteFile(dir / "grows.txt", first);
  const Ref<TextInputStream> grows = FolderItem(dir / "grows.txt").OpenAsTextFile();
  const std::string more = RandomBytes(rng, 1000001);
  WriteFile(dir / "grows.txt", first + more);
  EXPECT_TRUE(grows->ReadAll().Bytes() == first + more);
  // Cut short after it was opened.
  WriteFile(dir / "shrinks.txt", first);
  const Ref<TextInputStream> shrinks = FolderItem(dir / "shrinks.txt").OpenAsTextFile();
  std::filesystem::resize_file(dir / "shrinks.txt", 10);
  EXPECT_EQ(shrinks->ReadAll().Bytes(), first.substr(0, 10));
  // A file that tells no size, as those of /proc do, is read to its end, though the
  // system hands it out a page at a time.
  std::ifstream symbols("/proc/kallsyms", std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(symbols)), std::istreambuf_iterator<char>());
  if (expected.size() < 100000) GTEST_SKIP() << "no large file of unknown size here";
  const Ref<TextInputStream> unsized = FolderItem("/proc/kallsyms").OpenAsTextFile();
  ASSERT_TRUE(unsized);
  EXPECT_TRUE(unsized->ReadAll().Bytes() == expected);
}

TEST(TextStreams, ReadAllAfterReadLineGivesTheRest) {
  TempDir dir;
  std::mt19937 rng(7);
  const std::string rest = RandomBytes(rng, 200001);
  WriteFile(dir / "in.txt", "first\r\n" + rest);
  const Ref<TextInputStream> in = FolderItem(dir / "in.txt").OpenAsTextFile();
  EXPECT_EQ(in->ReadLine().Bytes(), "first");
  EXPECT_TRUE(in->ReadAll().Bytes() == rest);
}

// A whole file's text is converted and its line breaks changed within the buffer it was
// read into: no second buffer of the text's size is needed on the way to the output.
TEST(TextStreams, ATextReadWholeGrowsInItsOwnBuffer) {
  TempDir dir;
  std::string highAndBreaks;
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    const auto byte = static_cast<std::uint8_t>(i % 2 ? '\r' : 0x80 + i % 128);
    highAndBreaks += static_cast<char>(byte);
    expected += byte == '\r' ? "\r\n" : Chr(transcode::DecodeByte(Charset::MacRoman, byte)).Bytes();
  }
  WriteFile(dir / "in.txt", highAndBreaks);
  String text = FolderItem(dir / "in.txt").OpenAsTextFile()->ReadAll(Encodings::MacRoman);
  const char* buffer = text.Bytes().data();
  text = GetEncodingConverter(Encodings::MacRoman, Encodings::UTF8)->Convert(std::move(text));
  text = ReplaceAll(std::move(text), "\r", "\r\n");
  EXPECT_TRUE(text.Bytes() == expected);
  EXPECT_EQ(static_cast<const void*>(text.Bytes().data()), buffer);
}

TEST(TextStreams, ReadLineSplitsAtEveryLineEnding) {
  TempDir dir;
  std::string big(100000, 'x');
  WriteFile(dir / "lines.txt", "a\tb\nc\r\nd\re\n\n" + big + "\nlast");
  const Ref<TextInputStream> in = FolderItem(dir / "lines.txt").OpenAsTextFile();
  std::vector<std::string> lines;
  while (!in->EOF_()) lines.push_back(in->ReadLine().Bytes());
  EXPECT_EQ(lines, (std::vector<std::string>{"a\tb", "c", "d", "e", "", big, "last"}));
  const Ref<TextInputStream> empty = [&] {
    WriteFile(dir / "empty.txt", "");
    return FolderItem(dir / "empty.txt").OpenAsTextFile();
  }();
  EXPECT_TRUE(empty->EOF_());
}

TEST(TextStreams, OnlyRegularFilesOpen) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(FolderItem(dir / "folder").OpenAsTextFile());
  EXPECT_FALSE(FolderItem(dir / "fifo").OpenAsTextFile());  // must not block
  EXPECT_FALSE(FolderItem(dir / "missing").OpenAsTextFile());
  EXPECT_FALSE(FolderItem("/dev/null").OpenAsTextFile());
}

TEST(TextStreams, CreateTextFileReplacesWholeOnClose) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old content");
  ::chmod((dir / "out.txt").c_str(), 0640);
  auto out = New<FolderItem>(dir / "out.txt");
  const Ref<TextOutputStream> stream = out->CreateTextFile();
  ASSERT_TRUE(stream);
  stream->Write(String("new "));
  stream->WriteLine(String("line"));
  stream->Write(String(std::string(200000, 'z')));
  // Untouched until closed, and, where files can be made without a name, nothing beside
  // it that a program ended now would leave.
  EXPECT_EQ(ReadFile(dir / "out.txt"), "old content");
  const int unnamed = ::open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed >= 0) {
    ::close(unnamed);
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"out.txt"});
  }
  stream->Close();
  EXPECT_EQ(ReadFile(dir / "out.txt"), "new line\n" + std::string(200000, 'z'));
  struct stat st;
  ASSERT_EQ(::stat((dir / "out.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"out.txt"});
  EXPECT_THROW(stream->Write(String("late")), IOException);
}

// SIGTERM sent by a tracer the moment a replacement is being named (a log-out, say) waits
// until the new copy stands: the program then ends with nothing beside it.
TEST(TextStreams, AnEndingSignalWaitsWhileAReplacementIsNamed) {
  TempDir dir;
  WriteFile(dir / "out.txt", "old");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(77);
    ::raise(SIGSTOP);
    const Ref<TextOutputStream> stream = FolderItem(dir / "out.txt").CreateTextFile();
    stream->Write(String("new"));
    stream->Close();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no tracing here";
  ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  // Each system call of the child, until it enters the one that names the file.
  bool naming = false;
  int deliver = 0;
  while (!naming && ::ptrace(PTRACE_SYSCALL, child, nullptr, deliver) == 0 && ::waitpid(child, &status, 0) == child &&
         WIFSTOPPED(status)) {
    deliver = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
    __ptrace_syscall_info call{};
    naming = deliver == 0 && ::ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof call, &call) > 0 &&
             call.op == PTRACE_SYSCALL_INFO_ENTRY && call.entry.nr == SYS_linkat;
  }
  if (!naming) {  // no unnamed files here, or no telling which call is which
    if (WIFSTOPPED(status)) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
    }
    GTEST_SKIP() << "the replacement was not seen being named";
  }
  ::kill(child, SIGTERM);
  ::ptrace(PTRACE_DETACH, child, nullptr, nullptr);
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"out.txt"});
  EXPECT_EQ(ReadFile(dir / "out.txt"), "new");
}

TEST(TextStreams, AStreamDroppedWithoutCloseLeavesNoTrace) {
  TempDir dir;
  {
    const Ref<TextOutputStream> stream = FolderItem(dir / "new.txt").CreateTextFile();
    stream->Write(String("half"));
  }
  EXPECT_TRUE(ListNames(dir.path()).empty());
  WriteFile(dir / "kept.txt", "kept");
  {
    const Ref<TextOutputStream> stream = FolderItem(dir / "kept.txt").CreateTextFile();
    stream->Write(String("half"));
  }
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"kept.txt"});
  EXPECT_EQ(ReadFile(dir / "kept.txt"), "kept");
}

// Written in place, in a folder the user may not write, the file changes only when the
// stream closes: whole, or not at all.
TEST(TextStreams, AFileWrittenInPlaceChangesOnlyAtClose) {
  KOLVANE_SKIP_IF_ROOT();
  TempDir dir;
  WriteFile(dir / "kept.txt", "kept as it was");
  ::chmod(dir.path().c_str(), 0555);
  {
    const Ref<TextOutputStream> stream = FolderItem(dir / "kept.txt").CreateTextFile();
    ASSERT_TRUE(stream);
    stream->Write(String(std::string(100000, 'z')));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "kept as it was");
  }
  EXPECT_EQ(ReadFile(dir / "kept.txt"), "kept as it was");
  const Ref<TextOutputStream> stream = FolderItem(dir / "kept.txt").CreateTextFile();
  stream->Write(String("new"));
  stream->Close();
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(ReadFile(dir / "kept.txt"), "new");
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"kept.txt"});
}

TEST(TextStreams, ALinkAtTheNameIsReplacedNotWrittenThrough) {
  TempDir dir;
  WriteFile(dir / "precious.txt", "precious");
  std::filesystem::create_symlink(dir / "precious.txt", dir / "out.txt");
  const Ref<TextOutputStream> stream = FolderItem(dir / "out.txt").CreateTextFile();
  stream->Write(String("converted"));
  stream->Close();
  EXPECT_EQ(ReadFile(dir / "precious.txt"), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "out.txt"));
  EXPECT_EQ(ReadFile(dir / "out.txt"), "converted");
}

TEST(TextStreams, CreateTextFileGivesNoneWhereNoFileCanBe) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  WriteFile(dir / "file", "");
  EXPECT_FALSE(FolderItem(dir / "folder").CreateTextFile());
  EXPECT_FALSE(FolderItem(dir / "file" / "child.txt").CreateTextFile());
  EXPECT_FALSE(FolderItem(dir / "missing" / "child.txt").CreateTextFile());
  // A name too long for the file system fails when the file is put in place.
  const Ref<TextOutputStream> stream = FolderItem(dir / std::string(300, 'n')).CreateTextFile();
  ASSERT_TRUE(stream);
  stream->Write(String("x"));
  EXPECT_THROW(stream->Close(), IOException);
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"file", "folder"}));
}

TEST(TextStreams, UnwritableFolderGivesNone) {
  KOLVANE_SKIP_IF_ROOT();
  TempDir dir;
  std::filesystem::create_directory(dir / "ro");
  ::chmod((dir / "ro").c_str(), 0555);
  EXPECT_FALSE(FolderItem(dir / "ro" / "x.txt").CreateTextFile());
}

TEST(TypeAndCreator, CodesLiveInTheFinderInfoAttribute) {
  TempDir dir;
  if (!HasUserXattrs(dir.path())) GTEST_SKIP() << "no user attributes here";
  WriteFile(dir / "plain.txt", "x");
  FolderItem plain(dir / "plain.txt");
  EXPECT_TRUE(plain.MacType().IsEmpty());
  EXPECT_TRUE(plain.MacCreator().IsEmpty());
  plain.SetMacType(String());
  EXPECT_LT(::getxattr((dir / "plain.txt").c_str(), "user.com.apple.FinderInfo", nullptr, 0), 0);

  plain.SetMacType(String("TEXT"));
  plain.SetMacCreator(String("ttxt"));
  char info[32];
  ASSERT_EQ(::getxattr((dir / "plain.txt").c_str(), "user.com.apple.FinderInfo", info, 32), 32);
  EXPECT_EQ(std::string(info, 8), "TEXTttxt");
  FolderItem again(dir / "plain.txt");
  EXPECT_EQ(again.MacType(), String("TEXT"));
  EXPECT_EQ(again.MacCreator(), String("ttxt"));

  // Codes set while the file is being written arrive with the finished file.
  auto out = New<FolderItem>(dir / "out.txt");
  const Ref<TextOutputStream> stream = out->CreateTextFile();
  out->SetMacCreator(String("R*ch"));
  out->SetMacType(String("TEXT"));
  stream->Write(String("x"));
  stream->Close();
  EXPECT_EQ(FolderItem(dir / "out.txt").MacType(), String("TEXT"));
  EXPECT_EQ(FolderItem(dir / "out.txt").MacCreator(), String("R*ch"));
}

TEST(FolderItemCreation, CreateAsFolderLeavesWhatStandsThere) {
  TempDir dir;
  FolderItem folder(dir / "new");
  folder.CreateAsFolder();
  EXPECT_TRUE(folder.Directory());
  WriteFile(dir / "new" / "keep.txt", "k");
  folder.CreateAsFolder();
  EXPECT_EQ(ReadFile(dir / "new" / "keep.txt"), "k");
  WriteFile(dir / "plain", "p");
  FolderItem plain(dir / "plain");
  plain.CreateAsFolder();
  EXPECT_TRUE(plain.Exists());
  EXPECT_FALSE(plain.Directory());
  FolderItem(dir / "no" / "parent").CreateAsFolder();
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

}  // namespace
}  // namespace kolvane
