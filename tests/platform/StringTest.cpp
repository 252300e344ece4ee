#include "platform/String.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Printers.h"

namespace kolvane {
namespace {

String Bytes(const std::string& b, TextEncoding e = Encodings::UTF8) { return String(b, e); }

TEST(StringFunctions, CountCharactersNotBytes) {
  const String name("résumé.txt");
  EXPECT_EQ(Len(name), 10);
  EXPECT_EQ(Left(name, 6), String("résumé"));
  EXPECT_EQ(Right(name, 3), String("txt"));
  EXPECT_EQ(InStr(name, "."), 7);
  EXPECT_EQ(InStr(name, "é"), 2);
  EXPECT_EQ(InStr(3, name, "é"), 6);
  // A single-byte text counts one character per byte.
  const String mac("r\x8Esum\x8E", Encodings::MacRoman);
  EXPECT_EQ(Len(mac), 6);
  EXPECT_EQ(Left(mac, 2).Bytes(), "r\x8E");
}

TEST(StringFunctions, MalformedUtf8CountsPerByteAndCutsWithoutChangingBytes) {
  const String odd = Bytes("a\xff\xfe" "b\xc3");  // two stray bytes and a cut-off sequence
  EXPECT_EQ(Len(odd), 5);
  EXPECT_EQ(Left(odd, 3).Bytes(), "a\xff\xfe");
  EXPECT_EQ(Right(odd, 2).Bytes(), "b\xc3");
  EXPECT_EQ(Left(odd, 3).Bytes() + Right(odd, 2).Bytes(), odd.Bytes());
}

TEST(StringFunctions, EdgesOfCounts) {
  const String s("abc");
  EXPECT_TRUE(Left(s, 0).IsEmpty());
  EXPECT_TRUE(Left(s, -1).IsEmpty());
  EXPECT_TRUE(Right(s, -5).IsEmpty());
  EXPECT_EQ(Left(s, 10), s);
  EXPECT_EQ(Right(s, 10), s);
  EXPECT_EQ(InStr(s, "x"), 0);
  EXPECT_EQ(InStr(s, ""), 0);
  EXPECT_EQ(InStr(0, s, "a"), 1);
  EXPECT_EQ(InStr(2, s, "a"), 0);
}

TEST(StringFunctions, Fields) {
  EXPECT_EQ(CountFields("no separator", "."), 1);
  EXPECT_EQ(NthField("no separator", ".", 1), String("no separator"));
  EXPECT_EQ(CountFields("archive.tar.gz", "."), 3);
  EXPECT_EQ(NthField("archive.tar.gz", ".", 3), String("gz"));
  EXPECT_EQ(NthField("archive.tar.gz", ".", 2), String("tar"));
  EXPECT_EQ(CountFields("notes.", "."), 2);
  EXPECT_TRUE(NthField("notes.", ".", 2).IsEmpty());
  EXPECT_TRUE(NthField("a.b", ".", 3).IsEmpty());
  EXPECT_TRUE(NthField("a.b", ".", 0).IsEmpty());
  EXPECT_EQ(CountFields("one\ntwo\n", EndOfLine()), 3);
  EXPECT_EQ(NthField("a\r\nb", "\r\n", 2), String("b"));
}

TEST(StringFunctions, ReplaceAllLeftToRightWithoutOverlap) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), String("ba"));
  EXPECT_EQ(ReplaceAll("a\rb\rc", "\r", "\n"), String("a\nb\nc"));
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", "\n"), String("a\nb\n"));
  EXPECT_EQ(ReplaceAll("a\r\nb\rc\n", "\r\n", "\r"), String("a\rb\rc\n"));
  EXPECT_EQ(ReplaceAll("\na\n\n", "\n", "\r\n"), String("\r\na\r\n\r\n"));
  // Replaced text is not searched again.
  EXPECT_EQ(ReplaceAll("a\r\nb", "\r", "\r\n"), String("a\r\n\nb"));
  EXPECT_EQ(ReplaceAll("xyx", "x", "xx"), String("xxyxx"));
  EXPECT_EQ(ReplaceAll("abc", "", "z"), String("abc"));
  EXPECT_EQ(ReplaceAll("", "a", "b"), String(""));
  EXPECT_EQ(ReplaceAll("abcabc", "abc", ""), String(""));
}

TEST(StringFunctions, ReplaceAllGrowsWithinABufferThatHasRoom) {
  // Texts read from files carry room to grow; the result must not depend on it.
  const std::string lines = "\none\ntwo\n\nthree\r\nfour\n" + std::string(100, 'x') + "\n";
  for (const auto& [find, replacement] : std::vector<std::pair<std::string, std::string>>{
           {"\n", "\r\n"}, {"\r\n", "\r\r\n\n"}, {"o", "ooo"}}) {
    std::string roomy;
    roomy.reserve(lines.size() * 4);
    roomy.assign(lines);
    const String tight = ReplaceAll(String(lines), String(find), String(replacement));
    const String inPlace = ReplaceAll(String(std::move(roomy), Encodings::UTF8), String(find), String(replacement));
    EXPECT_EQ(inPlace, tight) << find;
  }
  EXPECT_EQ(ReplaceAll(String("\na\n"), "\n", "\r\n"), String("\r\na\r\n"));
}

// The plain reading of "left to right without overlap", to check the fast paths against.
std::string ReferenceReplaceAll(const std::string& text, const std::string& find, const std::string& replacement) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, find.size(), find) == 0) {
      out += replacement;
      i += find.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

TEST(StringFunctions, ReplaceAllMatchesFromTheLeftWhateverRoomTheTextHas) {
  std::mt19937 rng(11);
  const std::vector<std::string> finds = {"aa", "aba", "ab", "a", "aaa", "\r\n", "\r\r"};
  const std::vector<std::string> replacements = {"", "X", "XYZ", "XYZW", "a", "aaaa"};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t length = rng() % 24;
    for (std::size_t i = 0; i < length; ++i) text += "ab\r\n"[rng() % 4];
    const std::string& find = finds[rng() % finds.size()];
    const std::string& replacement = replacements[rng() % replacements.size()];
    const std::string expected = ReferenceReplaceAll(text, find, replacement);
    std::string roomy;
    roomy.reserve(text.size() * 4 + 16);
    roomy.assign(text);
    EXPECT_EQ(ReplaceAll(String(text), find, replacement).Bytes(), expected) << text << " / " << find;
    EXPECT_EQ(ReplaceAll(String(std::move(roomy), Encodings::UTF8), find, replacement).Bytes(), expected)
        << text << " / " << find;
  }
  std::string roomy;
  roomy.reserve(64);
  roomy.assign("aaa");
  EXPECT_EQ(ReplaceAll(String(std::move(roomy), Encodings::UTF8), "aa", "XYZ"), String("XYZa"));
}

// Line breaks of texts long enough for the block-wise paths, every pair of breaks, with
// and without room to grow: a text with the room its result needs keeps its buffer.
TEST(StringFunctions, ReplaceAllLineBreaksOfLongTexts) {
  std::mt19937 rng(12);
  const std::vector<std::string> breaks = {"\r", "\r\n", "\n"};
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 70; ++n) lengths.push_back(n);
  for (const std::size_t n : {127u, 128u, 129u, 4099u, 100003u}) lengths.push_back(n);
  for (const std::size_t length : lengths) {
    std::string text;
    const unsigned density = rng() % 3 == 0 ? 2 : 40;  // breaks everywhere, or in prose
    for (std::size_t i = 0; i < length; ++i) {
      text += rng() % density == 0 ? "\r\n"[rng() % 2] : static_cast<char>('a' + rng() % 26);
    }
    for (const std::string& find : breaks) {
      for (const std::string& replacement : breaks) {
        const std::string expected = ReferenceReplaceAll(text, find, replacement);
        for (const std::size_t capacity : {text.size(), expected.size(), 3 * text.size() + 16}) {
          std::string bytes;
          bytes.reserve(capacity);
          bytes.assign(text);
          const char* buffer = bytes.data();
          const bool fits = bytes.capacity() >= expected.size();
          const String out = ReplaceAll(String(std::move(bytes), Encodings::MacRoman), find, replacement);
          ASSERT_TRUE(out.Bytes() == expected) << length << " bytes, capacity " << capacity;
          if (fits && capacity > std::string().capacity()) {
            EXPECT_EQ(static_cast<const void*>(out.Bytes().data()), buffer) << length << " bytes";
          }
        }
      }
    }
  }
}

TEST(StringFunctions, ReplaceAllKeepsTheTextsEncoding) {
  const String mac("caf\x8E\r", Encodings::MacRoman);
  const String out = ReplaceAll(mac, "\r", "\n");
  EXPECT_EQ(out.Bytes(), "caf\x8E\n");
  EXPECT_EQ(out.Encoding(), Encodings::MacRoman);
  // A non-ASCII search is looked for as the text's own bytes.
  EXPECT_EQ(ReplaceAll(mac, "é", "e").Bytes(), "cafe\r");
}

TEST(StringFunctions, ChrStrCeilEndOfLine) {
  EXPECT_EQ(Chr(9).Bytes(), "\t");
  EXPECT_EQ(Chr(13).Bytes() + Chr(10).Bytes(), "\r\n");
  EXPECT_EQ(Chr(233).Bytes(), "\xc3\xa9");
  EXPECT_EQ(Chr(0x20AC).Bytes(), "\xe2\x82\xac");
  EXPECT_EQ(Chr(0x1F600).Bytes(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(Str(0), String("0"));
  EXPECT_EQ(Str(12), String("12"));
  EXPECT_EQ(Str(-2147483648LL), String("-2147483648"));
  EXPECT_EQ(Ceil(45.0 / 45.0), 1.0);
  EXPECT_EQ(Ceil(46.0 / 45.0), 2.0);
  EXPECT_EQ(Ceil(0.0), 0.0);
  EXPECT_EQ(EndOfLine().Bytes(), "\n");
}

TEST(StringValues, EqualityAndJoiningAcrossEncodings) {
  EXPECT_EQ(String("caf\x8E", Encodings::MacRoman), String("café"));
  EXPECT_FALSE(String("caf\xE9", Encodings::ISOLatin1) == String("cafe"));
  const String joined = String("caf\x8E", Encodings::MacRoman) + String(" – ok");
  EXPECT_EQ(joined, String("café – ok"));
  EXPECT_EQ(joined.Encoding(), Encodings::UTF8);
  // Joining ASCII keeps the other side's encoding and bytes.
  const String mac = String("\x8E", Encodings::MacRoman) + String("_Converted");
  EXPECT_EQ(mac.Encoding(), Encodings::MacRoman);
  EXPECT_EQ(mac.Bytes(), "\x8E_Converted");
}

}  // namespace
}  // namespace kolvane
