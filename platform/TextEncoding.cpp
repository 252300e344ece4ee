#include "TextEncoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "EncodingTables.h"
#include "String.h"

namespace kolvane {
namespace transcode {
namespace {

using encoding_tables::DecodeTable;
using encoding_tables::DecodeTableFor;

constexpr unsigned char kUnmappable = '?';
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

std::uint64_t Load64(const unsigned char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

void Store64(unsigned char* p, std::uint64_t word) noexcept { std::memcpy(p, &word, sizeof word); }

unsigned char* Bytes(std::string& s) noexcept { return reinterpret_cast<unsigned char*>(s.data()); }

// --- Single-byte sets to UTF-8 ---

// The UTF-8 form of one byte of a single-byte set: 1 to 3 bytes, since every code
// point of the tables lies in the Basic Multilingual Plane. The form ends the four
// bytes, so the converter, which writes from the back, stores it with one fixed-size
// copy.
struct Utf8Form {
  std::array<unsigned char, 4> bytes;
  std::uint32_t length;
};
struct Utf8Forms {
  std::array<Utf8Form, 256> form;
  std::array<std::uint8_t, 256> extra;  // length - 1, to size the result
  // The same forms as written forwards: the bytes first, then padding.
  std::array<std::array<unsigned char, 4>, 256> ahead;
};

Utf8Forms BuildUtf8Forms(const DecodeTable& table) noexcept {
  auto byte = [](unsigned v) { return static_cast<unsigned char>(v); };
  Utf8Forms forms{};
  for (std::size_t b = 0; b < 256; ++b) {
    const unsigned cp = table[b];
    Utf8Form& f = forms.form[b];
    if (cp < 0x80) {
      f = {{0, 0, 0, byte(cp)}, 1};
    } else if (cp < 0x800) {
      f = {{0, 0, byte(0xC0 | (cp >> 6)), byte(0x80 | (cp & 0x3F))}, 2};
    } else {
      f = {{0, byte(0xE0 | (cp >> 12)), byte(0x80 | ((cp >> 6) & 0x3F)), byte(0x80 | (cp & 0x3F))}, 3};
    }
    forms.extra[b] = static_cast<std::uint8_t>(f.length - 1);
    forms.ahead[b] = {};
    std::copy(f.bytes.end() - f.length, f.bytes.end(), forms.ahead[b].begin());
  }
  return forms;
}

const Utf8Forms& Utf8FormsFor(Charset set) noexcept {
  switch (set) {
    case Charset::MacRoman: {
      static const Utf8Forms forms = BuildUtf8Forms(encoding_tables::kMacRoman);
      return forms;
    }
    case Charset::Windows1252: {
      static const Utf8Forms forms = BuildUtf8Forms(encoding_tables::kWindows1252);
      return forms;
    }
    case Charset::ISOLatin1:
    case Charset::UTF8:
      break;
  }
  static const Utf8Forms forms = BuildUtf8Forms(encoding_tables::kISOLatin1);
  return forms;
}

// One bit per byte of the word, set for the high bytes: the multiplication gathers the
// eight high bits into the top byte, none of its partial products colliding.
[[maybe_unused]] std::uint64_t HighBitsOf(std::uint64_t word) noexcept {
  return (((word & kHighBits) >> 7) * 0x0102040810204080) >> 56;
}

// One bit per byte of the 64 at p, set for the high bytes.
std::uint64_t HighBitsOf64(const unsigned char* p) noexcept {
#if defined(__SSE2__)
  // The processor gathers the sixteen top bits of a vector in one instruction.
  auto mask = [p](int k) {
    return static_cast<std::uint64_t>(static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)))));
  };
  return mask(0) | mask(16) << 16 | mask(32) << 32 | mask(48) << 48;
#else
  std::uint64_t high = 0;
  for (std::size_t k = 0; k < 64; k += 8) high |= HighBitsOf(Load64(p + k)) << k;
  return high;
#endif
}

// How many bytes longer the text gets in UTF-8. Blocks of 64 bytes without a high byte,
// most of most texts, cost one test; in the others only the high bytes are looked up.
std::size_t ExtraUtf8Bytes(const unsigned char* src, std::size_t n, const Utf8Forms& forms) noexcept {
  std::size_t extra = 0;
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    std::uint64_t any = 0;
    for (std::size_t k = 0; k < 64; k += 8) any |= Load64(src + i + k);
    if ((any & kHighBits) == 0) continue;
    for (std::uint64_t high = HighBitsOf64(src + i); high != 0; high &= high - 1) {
      extra += forms.extra[src[i + static_cast<std::size_t>(std::countr_zero(high))]];
    }
  }
  for (; i < n; ++i) extra += forms.extra[src[i]];
  return extra;
}

// Converts the n bytes at the start of p to UTF-8 in place, ending at p + size, where
// size is at least n plus the extra bytes (more puts the result further up). Working
// from the back, the write position w stays ahead of the read position i by the growth
// still to come from the bytes before i (the gap), so no unread byte is overwritten and
// the text never has to move out of the way first. Stores wider than what they carry
// spill below it, onto bytes already read as long as the gap is wide enough, and never
// below p; should the gap close, what is left is ASCII and already in place.
void PutUtf8Backward(unsigned char* p, std::size_t n, std::size_t size, const Utf8Forms& forms) noexcept {
  static_assert(std::endian::native == std::endian::little, "the word scans read bytes in little-endian order");
  std::size_t i = n;
  std::size_t w = size;
  // A wide gap, the usual case: a word of ASCII moves whole, any other goes byte by byte,
  // each byte's form stored as four bytes. A word's bytes narrow the gap by 16 at most.
  while (i >= 8 && w - i >= 16 + 4) {
    const std::uint64_t word = Load64(p + i - 8);
    if ((word & kHighBits) == 0) {
      Store64(p + w - 8, word);
      i -= 8;
      w -= 8;
      continue;
    }
    for (int shift = 56; shift >= 0; shift -= 8) {
      const Utf8Form& f = forms.form[(word >> shift) & 0xFF];
      std::memcpy(p + w - 4, f.bytes.data(), 4);
      w -= f.length;
    }
    i -= 8;
  }
  // A narrow gap: only what fits between the gap's edges is stored.
  while (i > 0 && w > i) {
    if (i >= 16) {
      const std::uint64_t a = Load64(p + i - 16);
      const std::uint64_t b = Load64(p + i - 8);
      const std::uint64_t highA = a & kHighBits;
      const std::uint64_t highB = b & kHighBits;
      if ((highA | highB) == 0) {
        // Both words are read before either is written, and w >= i.
        Store64(p + w - 16, a);
        Store64(p + w - 8, b);
        i -= 16;
        w -= 16;
        continue;
      }
      // The ASCII after the block's last high byte moves as it is.
      const std::size_t ascii = highB != 0 ? static_cast<std::size_t>(std::countl_zero(highB)) / 8
                                           : 8 + static_cast<std::size_t>(std::countl_zero(highA)) / 8;
      std::memmove(p + w - ascii, p + i - ascii, ascii);
      i -= ascii;
      w -= ascii;
    }
    // One byte at a time: a run of high bytes, or the first few bytes of the text.
    do {
      const Utf8Form& f = forms.form[p[--i]];
      std::memcpy(p + w - f.length, f.bytes.data() + 4 - f.length, f.length);
      w -= f.length;
    } while (i > 0 && w > i && (i < 16 || p[i - 1] >= 0x80));
  }
}

// Large texts are converted in slices, one thread each: the work is the processor's,
// not the disk's. Smaller ones are not worth the threads.
constexpr std::size_t kMinSlice = 4 << 20;
constexpr unsigned kMaxSlices = 4;

// Runs work(0) to work(count - 1), each on a thread of its own but the first, which runs
// here; what finds no thread is done here too.
template <typename Work>
void InParallel(unsigned count, const Work& work) noexcept {
  std::vector<std::jthread> threads;
  unsigned k = 1;
  try {
    if (count > 1) threads.reserve(count - 1);
    for (; k < count; ++k) threads.emplace_back(work, k);
  } catch (...) {
    for (; k < count; ++k) work(k);
  }
  work(0);
}

// A text cut into slices, and how each slice's result is placed. Each lands above the
// slice's own bytes by the growth of the slices before it, over the start of the next
// slices: those starts are set aside before any slice is converted.
struct Slices {
  using Offsets = std::array<std::size_t, kMaxSlices + 1>;
  unsigned count = 1;
  Offsets bounds{};  // slice k is [bounds[k], bounds[k + 1])
  Offsets extras{};  // each slice's growth
  Offsets before{};  // growth of the slices before each
  Offsets aside{};   // where each slice's start is set aside
  std::string starts;
};

Slices CutIntoSlices(const unsigned char* src, std::size_t n, const Utf8Forms& forms) {
  Slices s;
  if (n >= 2 * kMinSlice) {
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    s.count = static_cast<unsigned>(std::min<std::size_t>({cores, kMaxSlices, n / kMinSlice}));
  }
  for (unsigned k = 0; k < s.count; ++k) s.bounds[k] = n / s.count * k;
  s.bounds[s.count] = n;
  InParallel(s.count, [&](unsigned k) {
    s.extras[k] = ExtraUtf8Bytes(src + s.bounds[k], s.bounds[k + 1] - s.bounds[k], forms);
  });
  for (unsigned k = 0; k < s.count; ++k) {
    s.before[k + 1] = s.before[k] + s.extras[k];
    s.aside[k + 1] = s.aside[k] + std::min(s.before[k], s.bounds[k + 1] - s.bounds[k]);
  }
  // Setting much aside would cost memory: such a text, one of mostly high bytes, is
  // converted in one piece.
  if (s.aside[s.count] > n / 8) s.count = 1;
  if (s.count > 1) s.starts.resize(s.aside[s.count]);
  return s;
}

// Converts the text in place, the slices at once where their starts have been set aside:
// each converts the rest of its bytes where they are, then its start in the room those
// have left.
void PutUtf8InSlices(unsigned char* p, std::size_t n, std::size_t size, Slices& s, const Utf8Forms& forms) noexcept {
  if (s.count == 1) {
    PutUtf8Backward(p, n, size, forms);
    return;
  }
  for (unsigned k = 0; k < s.count; ++k) {
    std::memcpy(s.starts.data() + s.aside[k], p + s.bounds[k], s.aside[k + 1] - s.aside[k]);
  }
  InParallel(s.count, [&](unsigned k) {
    const std::size_t length = s.bounds[k + 1] - s.bounds[k];
    const std::size_t setAside = s.aside[k + 1] - s.aside[k];
    const auto* start = reinterpret_cast<const unsigned char*>(s.starts.data() + s.aside[k]);
    unsigned char* out = p + s.bounds[k] + s.before[k];  // where the slice's result starts
    // The rest of the slice's bytes begin at out, unless the slices before cover it whole.
    PutUtf8Backward(out, length - setAside, length + s.extras[k], forms);
    std::memcpy(out, start, setAside);
    PutUtf8Backward(out, setAside, setAside + ExtraUtf8Bytes(start, setAside, forms), forms);
  });
}

// Number of bytes with the high bit set: each needs two or three bytes in UTF-8.
std::size_t HighBytes(const unsigned char* src, std::size_t n) noexcept {
  using Bytes16 = unsigned char __attribute__((vector_size(16)));
  std::size_t count = 0;
  std::size_t i = 0;
  // Sixteen byte-wide counters, emptied before any of them can overflow.
  while (i + 16 <= n) {
    Bytes16 counters{};
    for (const std::size_t end = std::min(n - 15, i + 255 * 16); i < end; i += 16) {
      Bytes16 v;
      std::memcpy(&v, src + i, 16);
      counters += v >> 7;
    }
    for (int k = 0; k < 16; ++k) count += counters[k];
  }
  for (; i < n; ++i) count += src[i] >> 7;
  return count;
}

// Converts n bytes at src to UTF-8 at dst, forwards, and returns the end of what it
// wrote. Each form is stored as four bytes, so dst needs three bytes of room past the
// result; dst may lie before src in the same buffer while it stays at least 8 bytes
// behind the byte being read, every store then landing on bytes already read.
unsigned char* PutUtf8Forward(const unsigned char* src, std::size_t n, unsigned char* dst,
                              const Utf8Forms& forms) noexcept {
  const auto put = [&](unsigned char b) {
    std::memcpy(dst, forms.ahead[b].data(), 4);
    dst += forms.form[b].length;
  };
  std::size_t i = 0;
  while (i + 16 <= n) {
    const std::uint64_t a = Load64(src + i);
    const std::uint64_t b = Load64(src + i + 8);
    if (((a | b) & kHighBits) == 0) {
      Store64(dst, a);
      Store64(dst + 8, b);
      dst += 16;
      i += 16;
      continue;
    }
    for (const std::size_t end = i + 16; i < end; ++i) put(src[i]);
  }
  for (; i < n; ++i) put(src[i]);
  return dst;
}

// A small text whose buffer has room for three bytes for each high byte (as a text read
// from a file has): the high bytes are counted the fast way, the text moves to the end of
// that room and is converted forwards into the start. Small, the move costs less than
// sizing the result exactly.
constexpr std::size_t kSmallText = 1 << 20;

std::size_t RoomForwards(std::size_t n, std::size_t high) { return n + 2 * high + 8; }

std::string SmallSingleByteToUtf8(std::string&& text, std::size_t high, const Utf8Forms& forms) {
  const std::size_t n = text.size();
  const std::size_t room = RoomForwards(n, high);
  text.resize_and_overwrite(room, [&](char* chars, std::size_t) {
    auto* p = reinterpret_cast<unsigned char*>(chars);
    std::memmove(p + (room - n), p, n);
    return static_cast<std::size_t>(PutUtf8Forward(p + (room - n), n, p, forms) - p);
  });
  return std::move(text);
}

std::string SingleByteToUtf8(std::string&& text, Charset from) {
  const Utf8Forms& forms = Utf8FormsFor(from);
  const std::size_t n = text.size();
  if (n < kSmallText) {
    const std::size_t high = HighBytes(Bytes(text), n);
    if (high == 0) return std::move(text);  // pure ASCII is the same in UTF-8
    if (text.capacity() >= RoomForwards(n, high)) return SmallSingleByteToUtf8(std::move(text), high, forms);
  }
  Slices slices = CutIntoSlices(Bytes(text), n, forms);
  const std::size_t extra = std::accumulate(slices.extras.begin(), slices.extras.end(), std::size_t{0});
  if (extra == 0) return std::move(text);  // pure ASCII is the same in UTF-8

  // The result is sized exactly and converted within the text's own buffer, so a text
  // read with room to grow needs no second buffer and no byte of room is written twice.
  const std::size_t size = n + extra;
  text.reserve(size);
  text.resize_and_overwrite(size, [&](char* p, std::size_t) {
    PutUtf8InSlices(reinterpret_cast<unsigned char*>(p), n, size, slices, forms);
    return size;
  });
  return std::move(text);
}

// --- Encoding code points into a single-byte set ---

// Code point -> byte of the set; 0 where the set has no byte for it. No code point
// beyond the Basic Multilingual Plane is in any set, and ASCII maps to itself.
using ReverseTable = std::array<unsigned char, 0x10000>;

std::unique_ptr<const ReverseTable> BuildReverseTable(const DecodeTable& table) {
  auto reverse = std::make_unique<ReverseTable>();
  reverse->fill(0);
  for (std::size_t b = 0x80; b < 256; ++b) (*reverse)[table[b]] = static_cast<unsigned char>(b);
  return reverse;
}

const ReverseTable& ReverseTableFor(Charset set) {
  switch (set) {
    case Charset::MacRoman: {
      static const auto reverse = BuildReverseTable(encoding_tables::kMacRoman);
      return *reverse;
    }
    case Charset::Windows1252: {
      static const auto reverse = BuildReverseTable(encoding_tables::kWindows1252);
      return *reverse;
    }
    case Charset::ISOLatin1:
    case Charset::UTF8:
      break;
  }
  static const auto reverse = BuildReverseTable(encoding_tables::kISOLatin1);
  return *reverse;
}

unsigned char EncodeByte(const ReverseTable& reverse, char32_t cp) noexcept {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp >= reverse.size()) return kUnmappable;
  const unsigned char b = reverse[cp];
  return b != 0 ? b : kUnmappable;
}

// --- UTF-8 to single-byte sets ---

constexpr char32_t kInvalid = 0xFFFFFFFF;

struct Utf8Sequence {
  char32_t code;       // kInvalid for an ill-formed subpart
  std::size_t length;  // bytes taken, at least 1
};

// Decodes the sequence at p (avail > 0 bytes left). An ill-formed sequence yields its
// maximal subpart: the longest start that some well-formed sequence begins with, or
// just the first byte. Each subpart then stands for one replacement character.
Utf8Sequence DecodeUtf8(const unsigned char* p, std::size_t avail) noexcept {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t cp;
  // The allowed range of the second byte rules out overlongs, surrogates and
  // code points past U+10FFFF.
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0Fu;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07u;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return {kInvalid, 1};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (k == avail || p[k] < lo || p[k] > hi) return {kInvalid, k};
    cp = (cp << 6) | (p[k] & 0x3Fu);
    lo = 0x80;
    hi = 0xBF;
  }
  return {cp, length};
}

// In place: every sequence becomes one byte, so the write position never passes the
// read position.
std::string Utf8ToSingleByte(std::string&& text, Charset to) {
  const ReverseTable& reverse = ReverseTableFor(to);
  unsigned char* p = Bytes(text);
  const std::size_t n = text.size();
  std::size_t r = 0;
  std::size_t w = 0;
  while (r < n) {
    if (r + 16 <= n) {
      // Both words are read before either is written, so the overlap is harmless.
      const std::uint64_t a = Load64(p + r);
      const std::uint64_t b = Load64(p + r + 8);
      if (((a | b) & kHighBits) == 0) {
        Store64(p + w, a);
        Store64(p + w + 8, b);
        r += 16;
        w += 16;
        continue;
      }
    }
    const Utf8Sequence s = DecodeUtf8(p + r, n - r);
    p[w++] = s.code == kInvalid ? kUnmappable : EncodeByte(reverse, s.code);
    r += s.length;
  }
  text.resize(w);
  return std::move(text);
}

// --- Single-byte set to single-byte set ---

std::string SingleByteToSingleByte(std::string&& text, Charset from, Charset to) {
  const DecodeTable& decode = DecodeTableFor(from);
  const ReverseTable& reverse = ReverseTableFor(to);
  std::array<unsigned char, 256> map;
  bool identity = true;
  for (std::size_t b = 0; b < 256; ++b) {
    map[b] = EncodeByte(reverse, decode[b]);
    identity = identity && map[b] == b;
  }
  if (identity) return std::move(text);

  // ASCII maps to itself, so only words with a high byte need touching.
  unsigned char* p = Bytes(text);
  const std::size_t n = text.size();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if ((Load64(p + i) & kHighBits) == 0) continue;
    for (std::size_t k = i; k < i + 8; ++k) p[k] = map[p[k]];
  }
  for (; i < n; ++i) p[i] = map[p[i]];
  return std::move(text);
}

}  // namespace

std::string Convert(std::string&& in, Charset from, Charset to) {
  if (from == to) return std::move(in);
  if (to == Charset::UTF8) return SingleByteToUtf8(std::move(in), from);
  if (from == Charset::UTF8) return Utf8ToSingleByte(std::move(in), to);
  return SingleByteToSingleByte(std::move(in), from, to);
}

char32_t DecodeByte(Charset set, std::uint8_t byte) noexcept {
  // A lone byte of UTF-8 is a character only when it is ASCII.
  if (set == Charset::UTF8) return byte < 0x80 ? char32_t{byte} : kReplacementCharacter;
  return DecodeTableFor(set)[byte];
}

}  // namespace transcode

String EncodingConverter::Convert(String text) const {
  std::string bytes = std::move(text).Bytes();
  if (!source_.IsNone() && !target_.IsNone()) {
    bytes = transcode::Convert(std::move(bytes), source_.charset(), target_.charset());
  }
  return String(std::move(bytes), target_);
}

Ref<EncodingConverter> GetEncodingConverter(TextEncoding source, TextEncoding target) {
  if (source.IsNone() || target.IsNone()) return nullptr;
  return New<EncodingConverter>(source, target);
}

}  // namespace kolvane
