#include "engine/Labels.h"

#include <gtest/gtest.h>

#include "tests/support/EngineWindow.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"

namespace kolvane {
namespace {

TEST(LabelTables, EncodingLabelsInPopupOrderWithUtf8Fallback) {
  const std::vector<std::pair<const char*, TextEncoding>> rows = {
      {"MacRoman", Encodings::MacRoman},      {"ISO Latin1", Encodings::ISOLatin1},
      {"Windows Latin1", Encodings::WindowsLatin1}, {"Windows ANSI", Encodings::WindowsANSI},
      {"UTF-8 (no BOM)", Encodings::UTF8},
  };
  ASSERT_EQ(EncodingLabel.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_STREQ(EncodingLabel[i].label, rows[i].first);
    EXPECT_EQ(EncodingOfLabel(rows[i].first), rows[i].second) << rows[i].first;
  }
  for (const char* other : {"", "macroman", "UTF-8", "Klingon"}) {
    EXPECT_EQ(EncodingOfLabel(other), Encodings::UTF8) << other;
  }
}

TEST(LabelTables, LineBreakLabelsWithEmptyFallback) {
  ASSERT_EQ(LineBreakLabel.size(), 3u);
  EXPECT_STREQ(LineBreakLabel[0].label, "Mac Classic (CR)");
  EXPECT_STREQ(LineBreakLabel[1].label, "Windows (CRLF)");
  EXPECT_STREQ(LineBreakLabel[2].label, "Unix (LF)");
  EXPECT_EQ(LineBreakOfLabel("Mac Classic (CR)").Bytes(), "\r");
  EXPECT_EQ(LineBreakOfLabel("Windows (CRLF)").Bytes(), "\r\n");
  EXPECT_EQ(LineBreakOfLabel("Unix (LF)").Bytes(), "\n");
  EXPECT_TRUE(LineBreakOfLabel("Unix").IsEmpty());
}

struct NameCase {
  const char* source;
  const char* output;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.source; }

class ConvertedNames : public testing::TestWithParam<NameCase> {};

TEST_P(ConvertedNames, InsertsConvertedBeforeTheLastExtension) {
  EXPECT_EQ(ConvertedFileName(GetParam().source), String(GetParam().output));
}

INSTANTIATE_TEST_SUITE_P(
    NamingRule, ConvertedNames,
    testing::Values(NameCase{"letter.txt", "letter_Converted.txt"},
                    NameCase{"archive.tar.gz", "archive.tar_Converted.gz"},
                    NameCase{"a..b", "a._Converted.b"}, NameCase{".profile", "_Converted.profile"},
                    NameCase{"README", "_Converted.README"}, NameCase{"notes.", "notes._Converted"},
                    NameCase{"letter_Converted.txt", "letter_Converted_Converted.txt"},
                    NameCase{"résumé.txt", "résumé_Converted.txt"},
                    NameCase{"über.tar.gz", "über.tar_Converted.gz"}, NameCase{".", "._Converted"},
                    NameCase{"日本語", "_Converted.日本語"}),
    [](const testing::TestParamInfo<NameCase>& param) { return std::to_string(param.index); });

TEST(ConvertedNames, MalformedBytesInANameSurviveTheRule) {
  const String odd(std::string("caf\xe9\xff.txt"), Encodings::UTF8);
  EXPECT_EQ(ConvertedFileName(odd).Bytes(), "caf\xe9\xff_Converted.txt");
}

// The text operations need a window only to exist; they read no control.
class TextOperations : public testing::Test {
 protected:
  void SetUp() override {
    window = New<test::EngineWindow>();
    window->Constructor();
  }
  void TearDown() override { window->Close(); }
  Ref<test::EngineWindow> window;
};

struct LineBreakCase {
  const char* source;
  const char* target;
  const char* in;
  const char* out;
};

TEST_F(TextOperations, LineBreakConsequences) {
  const std::vector<LineBreakCase> cases = {
      {"Mac Classic (CR)", "Windows (CRLF)", "a\rb\r\nc", "a\r\nb\r\n\nc"},
      {"Mac Classic (CR)", "Unix (LF)", "a\rb\r\nc", "a\nb\n\nc"},
      {"Windows (CRLF)", "Mac Classic (CR)", "a\r\nb\rc\nd", "a\rb\rc\nd"},
      {"Windows (CRLF)", "Unix (LF)", "a\r\nb\rc\nd", "a\nb\rc\nd"},
      {"Unix (LF)", "Mac Classic (CR)", "a\nb\r\nc", "a\rb\r\rc"},
      {"Unix (LF)", "Windows (CRLF)", "a\nb\r\nc", "a\r\nb\r\r\nc"},
      {"Windows (CRLF)", "Windows (CRLF)", "a\r\nb\rc\n", "a\r\nb\rc\n"},
      {"Unix (LF)", "Unix (LF)", "a\nb\r", "a\nb\r"},
      {"Unix (LF)", "Windows (CRLF)", "x\ny", "x\r\ny"},
      {"Unix (LF)", "Klingon", "a\nb", "ab"},
      {"Klingon", "Unix (LF)", "a\rb", "a\rb"},
  };
  for (const LineBreakCase& c : cases) {
    EXPECT_EQ(window->p_ConvertCRLF(c.source, c.target, String(c.in)).Bytes(), c.out)
        << c.source << " -> " << c.target;
  }
  EXPECT_TRUE(window->p_ConvertCRLF("Unix (LF)", "Windows (CRLF)", String()).IsEmpty());
}

TEST_F(TextOperations, EncodingConversionByLabel) {
  const String mac("caf\x8E \xDB\r", Encodings::MacRoman);
  const String utf8 = window->p_ConvertText("MacRoman", "UTF-8 (no BOM)", mac);
  EXPECT_EQ(utf8.Bytes(), "caf\xc3\xa9 \xe2\x82\xac\r");
  EXPECT_EQ(window->p_ConvertText("UTF-8 (no BOM)", "ISO Latin1", utf8).Bytes(), "caf\xe9 ?\r");
  EXPECT_EQ(window->p_ConvertText("UTF-8 (no BOM)", "Windows ANSI", utf8).Bytes(), "caf\xe9 \x80\r");
  // Equal labels still pass through the converter, which leaves the bytes alone.
  EXPECT_EQ(window->p_ConvertText("MacRoman", "MacRoman", mac).Bytes(), mac.Bytes());
  // An unknown label stands for UTF-8; no byte-order mark is added or removed.
  EXPECT_EQ(window->p_ConvertText("Klingon", "MacRoman", String("\xEF\xBB\xBF" "caf\xc3\xa9")).Bytes(),
            "?caf\x8E");
  EXPECT_EQ(window->p_ConvertText("MacRoman", "Klingon", String("\x8E", Encodings::MacRoman)).Bytes(),
            "\xc3\xa9");
  EXPECT_TRUE(window->p_ConvertText("MacRoman", "UTF-8 (no BOM)", String()).IsEmpty());
}

}  // namespace
}  // namespace kolvane
