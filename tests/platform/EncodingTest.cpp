// The converter between the four character sets: its tables against the system's
// iconv, its rules for what cannot be converted, and random text against a simple
// character-by-character reference.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include <gtest/gtest.h>

#include "platform/String.h"
#include "platform/TextEncoding.h"

namespace kolvane {
namespace {

using transcode::Convert;
using transcode::DecodeByte;

constexpr std::array kSingleByteSets = {Charset::MacRoman, Charset::ISOLatin1, Charset::Windows1252};
constexpr std::array kAllSets = {Charset::MacRoman, Charset::ISOLatin1, Charset::Windows1252,
                                 Charset::UTF8};

std::string Name(Charset set) {
  switch (set) {
    case Charset::MacRoman: return "MacRoman";
    case Charset::ISOLatin1: return "ISOLatin1";
    case Charset::Windows1252: return "Windows1252";
    case Charset::UTF8: return "UTF8";
  }
  return "?";
}

}  // namespace
// Test names show the character set's name, not its byte.
void PrintTo(Charset set, std::ostream* os) { *os << Name(set); }
namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
    out += ' ';
  }
  return out;
}

std::string AllBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
  return s;
}

// UTF-8 form of a code point, written out by the textbook rule.
std::string Utf8Of(char32_t cp) {
  auto byte = [](char32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
  if (cp < 0x80) return {byte(cp)};
  if (cp < 0x800) return {byte(0xC0 | (cp >> 6)), byte(0x80 | (cp & 0x3F))};
  if (cp < 0x10000) {
    return {byte(0xE0 | (cp >> 12)), byte(0x80 | ((cp >> 6) & 0x3F)), byte(0x80 | (cp & 0x3F))};
  }
  return {byte(0xF0 | (cp >> 18)), byte(0x80 | ((cp >> 12) & 0x3F)),
          byte(0x80 | ((cp >> 6) & 0x3F)), byte(0x80 | (cp & 0x3F))};
}

bool IsScalarValue(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// --- The tables ---

class SingleByteSetTest : public ::testing::TestWithParam<Charset> {};

TEST_P(SingleByteSetTest, EveryByteRoundTripsThroughUtf8) {
  const Charset set = GetParam();
  const std::string all = AllBytes();
  const std::string utf8 = Convert(std::string(all), set, Charset::UTF8);
  EXPECT_EQ(Hex(Convert(std::string(utf8), Charset::UTF8, set)), Hex(all));
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Convert(std::string(one), set, Charset::UTF8),
              Utf8Of(DecodeByte(set, static_cast<std::uint8_t>(b))))
        << "byte " << b;
  }
}

const char* IconvName(Charset set) {
  switch (set) {
    case Charset::MacRoman: return "MACINTOSH";
    case Charset::ISOLatin1: return "ISO-8859-1";
    case Charset::Windows1252: return "CP1252";
    case Charset::UTF8: break;
  }
  return "UTF-8";
}

// Apple's table differs from the one glibc keeps for these two bytes.
bool IconvDiffersOnPurpose(Charset set, int byte) {
  return set == Charset::MacRoman && (byte == 0xC6 || byte == 0xF0);
}

TEST_P(SingleByteSetTest, AgreesWithIconvOnEveryByteItDefines) {
  const Charset set = GetParam();
  const iconv_t cd = iconv_open("UTF-32LE", IconvName(set));
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << IconvName(set);
  std::vector<int> undefined;
  for (int b = 0; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char out[4] = {};
    char* inp = in;
    char* outp = reinterpret_cast<char*>(out);
    std::size_t in_left = 1;
    std::size_t out_left = sizeof out;
    if (iconv(cd, &inp, &in_left, &outp, &out_left) == static_cast<std::size_t>(-1)) {
      undefined.push_back(b);
      continue;
    }
    ASSERT_EQ(out_left, 0u) << "byte " << b;
    const char32_t expected = out[0] | out[1] << 8 | out[2] << 16 | char32_t{out[3]} << 24;
    if (IconvDiffersOnPurpose(set, b)) continue;
    EXPECT_EQ(DecodeByte(set, static_cast<std::uint8_t>(b)), expected) << "byte " << b;
  }
  iconv_close(cd);

  // Only code page 1252 has holes; should iconv refuse more, this test would check less.
  const std::vector<int> holes = set == Charset::Windows1252 ? std::vector<int>{0x81, 0x8D, 0x8F, 0x90, 0x9D}
                                                             : std::vector<int>{};
  EXPECT_EQ(undefined, holes);
}

INSTANTIATE_TEST_SUITE_P(Tables, SingleByteSetTest, ::testing::ValuesIn(kSingleByteSets),
                         [](const auto& test) { return Name(test.param); });

TEST(EncodingTablesTest, AppleValuesAndCodePageHolesDecodeAsIntended) {
  struct Case {
    Charset set;
    std::uint8_t byte;
    char32_t code;
  };
  const Case cases[] = {
      {Charset::MacRoman, 0xC6, 0x2206},     // increment, not Greek Delta
      {Charset::MacRoman, 0xF0, 0xF8FF},     // the Apple logo
      {Charset::MacRoman, 0xDB, 0x20AC},     // euro, not the currency sign
      {Charset::Windows1252, 0x81, 0x0081},  // the holes of code page 1252 decode to C1
      {Charset::Windows1252, 0x8D, 0x008D},
      {Charset::Windows1252, 0x8F, 0x008F},
      {Charset::Windows1252, 0x90, 0x0090},
      {Charset::Windows1252, 0x9D, 0x009D},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeByte(c.set, c.byte), c.code) << Name(c.set) << " byte " << int{c.byte};
  }
}

// --- Conversion rules ---

struct ConversionCase {
  Charset from;
  Charset to;
  std::string in;
  std::string out;
};

void ExpectConversions(const std::vector<ConversionCase>& cases) {
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(Hex(Convert(std::string(c.in), c.from, c.to)), Hex(c.out))
        << Name(c.from) << " -> " << Name(c.to) << ", input " << Hex(c.in);
  }
}

TEST(TranscodeTest, CharactersTheTargetCannotHoldBecomeQuestionMarks) {
  using enum Charset;
  ExpectConversions({
      {UTF8, ISOLatin1, "€", "?"},
      {UTF8, MacRoman, "€", "\xDB"},
      {UTF8, Windows1252, "€", "\x80"},
      {UTF8, ISOLatin1, "a€b", "a?b"},
      {UTF8, MacRoman, "ſ", "?"},
      {UTF8, ISOLatin1, "ſ", "?"},
      {UTF8, Windows1252, "ſ", "?"},
      {UTF8, MacRoman, "中文", "??"},
      {UTF8, ISOLatin1, "中文", "??"},
      {UTF8, Windows1252, "中文", "??"},
      {UTF8, MacRoman, "x😀y", "x?y"},
      {UTF8, ISOLatin1, "x😀y", "x?y"},
      {UTF8, Windows1252, "x😀y", "x?y"},
      {UTF8, MacRoman, "\u0081", "?"},  // C1 controls exist in the other two only
      {UTF8, Windows1252, "\u0081\u0080", "\x81?"},
      {MacRoman, ISOLatin1, "\xF0\xDB\x8E", "??\xE9"},
      {MacRoman, Windows1252, "\xF0\xDB\x8E", "?\x80\xE9"},
      {ISOLatin1, MacRoman, "\xA4\x80\xE9", "??\x8E"},
      {ISOLatin1, Windows1252, "\x80\x81\xA4", "?\x81\xA4"},
      {Windows1252, MacRoman, "\x80\x81\xE9", "\xDB?\x8E"},
      {Windows1252, ISOLatin1, "\x80\x81\xE9", "?\x81\xE9"},
  });
}

TEST(TranscodeTest, InvalidUtf8BecomesOneQuestionMarkPerMaximalSubpart) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x80", "?"},                  // stray continuation byte
      {"a\xBF\xBF" "b", "a??b"},
      {"\xC0\xAF", "??"},             // overlong lead bytes are never valid
      {"\xC1\xBF", "??"},
      {"\xE0\x80\xAF", "???"},        // overlong three-byte form
      {"\xF0\x80\x80\xAF", "????"},
      {"\xED\xA0\x80", "???"},        // surrogate
      {"\xF4\x90\x80\x80", "????"},   // past U+10FFFF
      {"\xF5\x80\x80\x80", "????"},
      {"\xF8\x88\x80\x80\x80", "?????"},
      {"\xFE\xFF", "??"},
      {"\xC3", "?"},                  // truncated at the end
      {"\xE2\x82", "?"},
      {"\xF0\x9F\x98", "?"},
      {"\xE2\x82" "A", "?A"},         // truncated before the next character
      {"\xF0\x9F\x98\xC2\xB1", "?\xB1"},    // ± is 0xB1 in all three
      {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a???b?c??d"},
  };
  for (const Charset to : kSingleByteSets) {
    for (const auto& [in, out] : cases) {
      EXPECT_EQ(Hex(Convert(std::string(in), Charset::UTF8, to)), Hex(out))
          << "to " << Name(to) << ", input " << Hex(in);
    }
  }
}

TEST(TranscodeTest, EqualSetsPassBytesThroughUnchanged) {
  const std::string inputs[] = {
      AllBytes(),
      "\xEF\xBB\xBF" "caf\xC3\xA9",   // a byte-order mark stays
      "\xC0\xAF\xED\xA0\x80\xE2\x82", // invalid UTF-8 stays as it is
  };
  for (const Charset set : kAllSets) {
    for (const std::string& in : inputs) {
      EXPECT_EQ(Hex(Convert(std::string(in), set, set)), Hex(in)) << Name(set);
    }
  }
}

TEST(TranscodeTest, ByteOrderMarksAndLineBreaksAreTextLikeAnyOther) {
  using enum Charset;
  ExpectConversions({
      {MacRoman, UTF8, "a\r\n\x8E\r", "a\r\n\xC3\xA9\r"},  // nothing added in front
      {ISOLatin1, UTF8, "", ""},
      {Windows1252, UTF8, "\xEF\xBB\xBF", "\xC3\xAF\xC2\xBB\xC2\xBF"},
      {UTF8, ISOLatin1, "\xEF\xBB\xBFx\r\n", "?x\r\n"},  // a mark is not dropped
      {UTF8, MacRoman, "\n\r\n\r", "\n\r\n\r"},
  });
}

// The big buffers of whole files must not be copied where no copy is needed.
TEST(TranscodeTest, ReusesTheInputBufferWhereItCan) {
  using enum Charset;
  const std::string ascii(1000, 'a');
  const std::string accented = ascii + "\xC3\xA9";
  const ConversionCase cases[] = {
      {UTF8, UTF8, accented, accented},
      {MacRoman, UTF8, ascii, ascii},
      {UTF8, MacRoman, accented, ascii + "\x8E"},
      {ISOLatin1, Windows1252, ascii + "\x80", ascii + "?"},
  };
  for (const ConversionCase& c : cases) {
    std::string in = c.in;
    const char* buffer = in.data();
    const std::string out = Convert(std::move(in), c.from, c.to);
    EXPECT_EQ(out, c.out) << Name(c.from) << " -> " << Name(c.to);
    EXPECT_EQ(out.data(), buffer) << Name(c.from) << " -> " << Name(c.to);
  }
}

// --- Random text against a reference ---

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Every proper start of a well-formed UTF-8 sequence, from encoding every scalar value.
const std::unordered_set<std::string>& Utf8Prefixes() {
  static const std::unordered_set<std::string> prefixes = [] {
    std::unordered_set<std::string> set;
    for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
      if (!IsScalarValue(cp)) continue;
      const std::string s = Utf8Of(cp);
      for (std::size_t k = 1; k < s.size(); ++k) set.insert(s.substr(0, k));
    }
    return set;
  }();
  return prefixes;
}

// Code points of in, one per character; kInvalid for each maximal ill-formed subpart.
std::vector<char32_t> ReferenceDecode(const std::string& in, Charset from) {
  std::vector<char32_t> out;
  if (from != Charset::UTF8) {
    for (const char c : in) out.push_back(DecodeByte(from, static_cast<std::uint8_t>(c)));
    return out;
  }
  std::size_t i = 0;
  while (i < in.size()) {
    std::size_t taken = 0;
    // A sequence is well formed when it is the UTF-8 form of the value its bits give.
    for (std::size_t k = 1; k <= 4 && i + k <= in.size() && taken == 0; ++k) {
      const auto lead = static_cast<unsigned char>(in[i]);
      char32_t cp = k == 1 ? lead : lead & (0x7Fu >> k);
      for (std::size_t j = 1; j < k; ++j) cp = cp << 6 | (static_cast<unsigned char>(in[i + j]) & 0x3Fu);
      if (IsScalarValue(cp) && Utf8Of(cp) == in.substr(i, k)) {
        out.push_back(cp);
        taken = k;
      }
    }
    if (taken == 0) {
      taken = 1;
      for (std::size_t k = 2; k <= 3 && i + k <= in.size(); ++k) {
        if (Utf8Prefixes().count(in.substr(i, k)) != 0) taken = k;
      }
      out.push_back(kInvalid);
    }
    i += taken;
  }
  return out;
}

std::string ReferenceEncode(const std::vector<char32_t>& codes, Charset to) {
  std::string out;
  for (const char32_t cp : codes) {
    if (to == Charset::UTF8) {
      out += Utf8Of(cp == kInvalid ? 0xFFFD : cp);
      continue;
    }
    char byte = '?';
    for (int b = 0; b < 256; ++b) {
      if (cp != kInvalid && DecodeByte(to, static_cast<std::uint8_t>(b)) == cp) byte = static_cast<char>(b);
    }
    out += byte;
  }
  return out;
}

std::string ReferenceConvert(const std::string& in, Charset from, Charset to) {
  if (from == to) return in;
  return ReferenceEncode(ReferenceDecode(in, from), to);
}

enum class Texture { MostlyAscii, DenseHighBytes, RandomBytes, OnlyHighBytes, FewHighBytes };

const char* Name(Texture texture) {
  switch (texture) {
    case Texture::MostlyAscii: return "mostly ASCII";
    case Texture::DenseHighBytes: return "dense high bytes";
    case Texture::RandomBytes: return "random bytes";
    case Texture::OnlyHighBytes: return "only high bytes";
    case Texture::FewHighBytes: return "few high bytes";
  }
  return "?";
}

// Text of exactly length bytes in the source set. UTF-8 text mixes characters every set
// holds, characters only some hold, characters beyond the BMP, and stray bytes; cutting
// at length may leave a truncated sequence at the end, which is wanted.
std::string RandomText(std::mt19937& rng, Charset from, Texture texture, std::size_t length) {
  auto pick = [&rng](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(rng); };
  std::string s;
  if (texture == Texture::FewHighBytes) {
    // Long runs of ASCII between a handful of other characters, anywhere in the text.
    for (std::size_t i = 0; i < length; ++i) s += static_cast<char>(pick(0, 127));
    const unsigned count = length == 0 ? 0 : pick(1, 4);
    for (unsigned k = 0; k < count; ++k) {
      const std::size_t at = pick(0, static_cast<unsigned>(length - 1));
      const std::string other = RandomText(rng, from, Texture::OnlyHighBytes, 4);
      s.replace(at, std::min<std::size_t>(other.size(), length - at), other, 0, length - at);
    }
    return s;
  }
  while (s.size() < length) {
    const bool ascii = texture == Texture::MostlyAscii   ? pick(0, 99) < 95
                       : texture == Texture::OnlyHighBytes ? false
                                                           : pick(0, 99) < 10;
    if (texture == Texture::RandomBytes) {
      s += static_cast<char>(pick(0, 255));
    } else if (ascii) {
      s += static_cast<char>(pick(0, 127));
    } else if (from != Charset::UTF8) {
      s += static_cast<char>(pick(128, 255));
    } else {
      switch (pick(0, 3)) {
        case 0: {
          const Charset set = kSingleByteSets[pick(0, 2)];
          s += Utf8Of(DecodeByte(set, static_cast<std::uint8_t>(pick(128, 255))));
          break;
        }
        case 1: {
          char32_t cp = pick(0x80, 0xFFFF);
          s += Utf8Of(IsScalarValue(cp) ? cp : 0xFFFD);
          break;
        }
        case 2: s += Utf8Of(pick(0x10000, 0x10FFFF)); break;
        default: s += static_cast<char>(pick(128, 255)); break;
      }
    }
  }
  s.resize(length);
  return s;
}

class TranscodeRandomTest : public ::testing::TestWithParam<std::tuple<Charset, Charset>> {};

TEST_P(TranscodeRandomTest, MatchesTheReference) {
  const auto [from, to] = GetParam();
  std::mt19937 rng(20240611u + 16u * static_cast<unsigned>(from) + static_cast<unsigned>(to));
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 40; ++n) lengths.insert(lengths.end(), 4, n);
  for (const std::size_t n : {63u, 64u, 65u, 127u, 128u, 129u, 1000u, 4103u, 70001u}) lengths.push_back(n);

  for (const Texture texture : {Texture::MostlyAscii, Texture::DenseHighBytes, Texture::RandomBytes,
                                Texture::OnlyHighBytes, Texture::FewHighBytes}) {
    for (const std::size_t n : lengths) {
      const std::string in = RandomText(rng, from, texture, n);
      const std::string reference = ReferenceConvert(in, from, to);
      const std::string expected = Hex(reference);
      const auto where = [&](const char* room) {
        const std::string input = n <= 200 ? Hex(in) : std::to_string(n) + " bytes";
        return std::string(Name(texture)) + ", " + room + ", input " + input;
      };
      ASSERT_EQ(Hex(Convert(std::string(in), from, to)), expected) << where("no room");
      // A buffer with room to spare, or with just the room the result needs, is
      // converted within itself; one with too little is not overrun.
      const std::size_t between = reference.size() > n ? n + (reference.size() - n) / 2 : n;
      for (const std::size_t capacity : {3 * n + 16, reference.size(), between}) {
        std::string roomy;
        roomy.reserve(capacity);
        roomy.assign(in);
        const char* buffer = roomy.data();
        const bool fits = roomy.capacity() >= reference.size();
        const std::string out = Convert(std::move(roomy), from, to);
        ASSERT_EQ(Hex(out), expected) << where(fits ? "in place" : "too little room");
        // (A short text may live inside the string itself, which moves with it.)
        if (fits && capacity > std::string().capacity()) {
          EXPECT_EQ(static_cast<const void*>(out.data()), buffer) << where("in place");
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPairs, TranscodeRandomTest,
                         ::testing::Combine(::testing::ValuesIn(kAllSets), ::testing::ValuesIn(kAllSets)),
                         [](const auto& test) {
                           return Name(std::get<0>(test.param)) + "To" + Name(std::get<1>(test.param));
                         });

// Texts large enough to be converted in slices at once, against the byte-by-byte
// reference: clusters of high bytes where slices meet, growth all at the start, and text
// so dense that it is converted in one piece.
TEST(TranscodeTest, LargeTextsToUtf8MatchTheReference) {
  std::mt19937 rng(20240612u);
  const std::size_t n = (17u << 20) + 1001;
  std::string prose(n, '\0');
  for (char& c : prose) c = static_cast<char>(rng() % 40 == 0 ? 0x80 + rng() % 128 : rng() % 128);
  for (int j = 1; j < 12; ++j) {
    const std::size_t at = n * j / 12 - 4096 + rng() % 8192;
    for (std::size_t k = at; k < at + 3000; ++k) prose[k] = static_cast<char>(0x80 + rng() % 128);
  }
  std::string growthFirst(n, 'a');
  for (std::size_t k = 0; k < n / 50; ++k) growthFirst[k] = static_cast<char>(0x80 + rng() % 128);
  std::string dense(n, '\0');
  for (char& c : dense) c = static_cast<char>(rng() % 10 == 0 ? rng() % 128 : 0x80 + rng() % 128);

  const std::pair<const std::string*, Charset> cases[] = {
      {&prose, Charset::MacRoman}, {&growthFirst, Charset::Windows1252}, {&dense, Charset::ISOLatin1}};
  for (const auto& [text, from] : cases) {
    std::array<std::string, 256> forms;
    for (int b = 0; b < 256; ++b) forms[b] = Utf8Of(DecodeByte(from, static_cast<std::uint8_t>(b)));
    std::string expected;
    expected.reserve(3 * n);
    for (const char c : *text) expected.append(forms[static_cast<unsigned char>(c)]);
    std::string roomy;
    roomy.reserve(3 * n);
    roomy.assign(*text);
    ASSERT_TRUE(Convert(std::move(roomy), from, Charset::UTF8) == expected) << Name(from);
    ASSERT_TRUE(Convert(std::string(*text), from, Charset::UTF8) == expected) << Name(from) << ", no room";
  }
}

// All the growth at the very start of a text too large to be converted forwards: working
// from the back, the converter meets the high bytes with no room to spare, and must not
// store over the byte before them.
TEST(TranscodeTest, GrowthRightAtTheStartOverwritesNothingUnread) {
  std::string text = "A" + std::string(8, '\xA0');
  text.resize((1u << 20) + 1, 'x');
  std::string expected = "A";
  for (int k = 0; k < 8; ++k) expected += "\xE2\x80\xA0";  // the dagger
  expected.append(text.size() - 9, 'x');
  ASSERT_TRUE(Convert(std::move(text), Charset::MacRoman, Charset::UTF8) == expected);
}

// --- Converters ---

TEST(EncodingConverterTest, NoneWhenEitherEncodingIsNone) {
  const TextEncoding none;
  EXPECT_TRUE(GetEncodingConverter(none, Encodings::UTF8).IsNone());
  EXPECT_TRUE(GetEncodingConverter(Encodings::MacRoman, none).IsNone());
  EXPECT_TRUE(GetEncodingConverter(none, none).IsNone());

  const Ref<EncodingConverter> c = GetEncodingConverter(Encodings::WindowsANSI, Encodings::MacRoman);
  ASSERT_FALSE(c.IsNone());
  EXPECT_EQ(c->SourceEncoding(), Encodings::WindowsLatin1);
  EXPECT_EQ(c->TargetEncoding(), Encodings::MacRoman);
}

TEST(EncodingConverterTest, ReadsTheBytesAsTheSourceWhateverTheLabel) {
  const Ref<EncodingConverter> c = GetEncodingConverter(Encodings::MacRoman, Encodings::UTF8);
  for (const TextEncoding label : {TextEncoding(), Encodings::UTF8, Encodings::MacRoman, Encodings::ISOLatin1}) {
    const String out = c->Convert(String(std::string("caf\x8E"), label));
    EXPECT_EQ(out.Bytes(), "caf\xC3\xA9");
    EXPECT_EQ(out.Encoding(), Encodings::UTF8);
  }

  const String out = GetEncodingConverter(Encodings::WindowsLatin1, Encodings::MacRoman)
                         ->Convert(String(std::string("\x80\x81"), Encodings::UTF8));
  EXPECT_EQ(Hex(out.Bytes()), Hex("\xDB?"));
  EXPECT_EQ(out.Encoding(), Encodings::MacRoman);
}

}  // namespace
}  // namespace kolvane
