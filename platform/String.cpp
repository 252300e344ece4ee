#include "String.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kolvane {
namespace {

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the character starting at bytes[i]: a well-formed UTF-8 sequence, or a
// single byte when the sequence there is malformed.
std::size_t Utf8CharLength(std::string_view bytes, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  if (b0 < 0x80) return 1;
  std::size_t n;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 1;
  }
  if (i + n > bytes.size()) return 1;
  const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
  if (b1 < lo || b1 > hi) return 1;
  for (std::size_t k = 2; k < n; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if (b < 0x80 || b > 0xBF) return 1;
  }
  return n;
}

bool CountsBytes(const String& s) { return s.Encoding().IsSingleByte() || s.Encoding().IsNone(); }

// Byte offset of the character with 0-based index chars (or the end).
std::size_t ByteOffsetOfChar(const String& s, std::int64_t chars) {
  const std::string& b = s.Bytes();
  if (chars <= 0) return 0;
  if (CountsBytes(s)) return std::min<std::size_t>(static_cast<std::size_t>(chars), b.size());
  std::size_t i = 0;
  for (std::int64_t c = 0; c < chars && i < b.size(); ++c) i += Utf8CharLength(b, i);
  return i;
}

// Number of characters in bytes [0, end).
std::int32_t CharsBefore(const String& s, std::size_t end) {
  if (CountsBytes(s)) return static_cast<std::int32_t>(end);
  const std::string& b = s.Bytes();
  std::int32_t n = 0;
  for (std::size_t i = 0; i < end; i += Utf8CharLength(b, i)) ++n;
  return n;
}

// The bytes of find as they would stand in a text of encoding target.
std::string BytesIn(const String& find, TextEncoding target) {
  const TextEncoding from = find.Encoding();
  if (target.IsNone() || from.IsNone() || from == target || IsAscii(find.Bytes())) {
    return find.Bytes();
  }
  return transcode::Convert(std::string(find.Bytes()), from.charset(), target.charset());
}

// One byte for another, in place, sixteen bytes at a time: line breaks are frequent
// enough in text that a byte-by-byte search would branch every few bytes. The compiler
// turns the vector operations into whatever the processor offers.
void ReplaceByte(std::string& bytes, unsigned char from, unsigned char to) {
  using Bytes16 = unsigned char __attribute__((vector_size(16)));
  const Bytes16 fromV = Bytes16{} + from;
  const Bytes16 toV = Bytes16{} + to;
  char* p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    Bytes16 v;
    std::memcpy(&v, p + i, 16);
    v = v == fromV ? toV : v;
    std::memcpy(p + i, &v, 16);
  }
  for (; i < n; ++i) {
    if (static_cast<unsigned char>(p[i]) == from) p[i] = static_cast<char>(to);
  }
}

// Whether two matches of the pattern can overlap: some proper start of it is also its end.
bool OverlapsItself(std::string_view pattern) {
  for (std::size_t k = 1; k < pattern.size(); ++k) {
    if (pattern.substr(0, k) == pattern.substr(pattern.size() - k)) return true;
  }
  return false;
}

// Start of the last match of pattern in p[0, end); there must be one.
std::size_t LastMatch(const char* p, std::size_t end, std::string_view pattern) {
  if (pattern.size() == 1) {
    return static_cast<std::size_t>(static_cast<const char*>(::memrchr(p, pattern[0], end)) - p);
  }
  return std::string_view(p, end).rfind(pattern);
}

}  // namespace

std::string String::ToUTF8() const {
  if (encoding_.IsNone() || encoding_.charset() == Charset::UTF8) return bytes_;
  return transcode::Convert(std::string(bytes_), encoding_.charset(), Charset::UTF8);
}

String operator+(const String& a, const String& b) {
  String r = a;
  r += b;
  return r;
}

String& String::operator+=(const String& other) {
  if (encoding_ == other.encoding_ || IsAscii(other.bytes_)) {
    bytes_ += other.bytes_;
  } else if (IsAscii(bytes_) || encoding_.IsNone() || other.encoding_.IsNone()) {
    // The known side decides; bytes of no known encoding are joined as they are.
    if (encoding_.IsNone() || IsAscii(bytes_)) encoding_ = other.encoding_;
    bytes_ += other.bytes_;
  } else {
    bytes_ = ToUTF8() + other.ToUTF8();
    encoding_ = Encodings::UTF8;
  }
  return *this;
}

bool operator==(const String& a, const String& b) {
  if (a.encoding_ == b.encoding_ || a.encoding_.IsNone() || b.encoding_.IsNone()) {
    return a.bytes_ == b.bytes_;
  }
  if (IsAscii(a.bytes_) || IsAscii(b.bytes_)) return a.bytes_ == b.bytes_;
  return a.ToUTF8() == b.ToUTF8();
}

std::int32_t Len(const String& s) { return CharsBefore(s, s.Bytes().size()); }

String Left(const String& s, std::int64_t count) {
  if (count <= 0) return String(std::string(), s.Encoding());
  return String(s.Bytes().substr(0, ByteOffsetOfChar(s, count)), s.Encoding());
}

String Right(const String& s, std::int64_t count) {
  if (count <= 0) return String(std::string(), s.Encoding());
  const std::int32_t len = Len(s);
  if (count >= len) return s;
  return String(s.Bytes().substr(ByteOffsetOfChar(s, len - count)), s.Encoding());
}

std::int32_t InStr(std::int64_t start, const String& s, const String& find) {
  if (find.IsEmpty()) return 0;
  const std::string needle = BytesIn(find, s.Encoding());
  const std::size_t from = ByteOffsetOfChar(s, std::max<std::int64_t>(start, 1) - 1);
  const std::size_t at = s.Bytes().find(needle, from);
  if (at == std::string::npos) return 0;
  return CharsBefore(s, at) + 1;
}

std::int32_t InStr(const String& s, const String& find) { return InStr(1, s, find); }

String Chr(std::uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
  return String(std::move(out), Encodings::UTF8);
}

String Str(std::int64_t value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return String(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

std::int32_t CountFields(const String& s, const String& separator) {
  if (separator.IsEmpty()) return 1;
  const std::string sep = BytesIn(separator, s.Encoding());
  std::int32_t n = 1;
  for (std::size_t at = s.Bytes().find(sep); at != std::string::npos;
       at = s.Bytes().find(sep, at + sep.size())) {
    ++n;
  }
  return n;
}

String NthField(const String& s, const String& separator, std::int64_t index) {
  if (index < 1) return String(std::string(), s.Encoding());
  if (separator.IsEmpty()) return index == 1 ? s : String(std::string(), s.Encoding());
  const std::string sep = BytesIn(separator, s.Encoding());
  const std::string& b = s.Bytes();
  std::size_t begin = 0;
  for (std::int64_t i = 1; i < index; ++i) {
    const std::size_t at = b.find(sep, begin);
    if (at == std::string::npos) return String(std::string(), s.Encoding());
    begin = at + sep.size();
  }
  const std::size_t end = b.find(sep, begin);
  return String(b.substr(begin, end == std::string::npos ? std::string::npos : end - begin),
                s.Encoding());
}

String ReplaceAll(String s, const String& find, const String& replacement) {
  if (find.IsEmpty() || s.IsEmpty()) return s;
  const TextEncoding enc = s.Encoding();
  const std::string from = BytesIn(find, enc);
  const std::string to = BytesIn(replacement, enc);
  std::string bytes = std::move(s).Bytes();
  const std::size_t n = bytes.size();

  if (from.size() == 1 && to.size() == 1) {
    ReplaceByte(bytes, static_cast<unsigned char>(from[0]), static_cast<unsigned char>(to[0]));
    return String(std::move(bytes), enc);
  }

  auto next = [&](std::size_t at) -> std::size_t {
    if (from.size() == 1) {
      const void* p = std::memchr(bytes.data() + at, from[0], n - at);
      return p ? static_cast<std::size_t>(static_cast<const char*>(p) - bytes.data())
               : std::string::npos;
    }
    return bytes.find(from, at);
  };

  if (to.size() <= from.size()) {
    // Shrinking or equal: compact in place behind the read position.
    std::size_t read = next(0);
    if (read == std::string::npos) return String(std::move(bytes), enc);
    std::size_t write = read;
    while (read != std::string::npos) {
      std::memcpy(bytes.data() + write, to.data(), to.size());
      write += to.size();
      const std::size_t after = read + from.size();
      const std::size_t hit = after >= n ? std::string::npos : next(after);
      const std::size_t end = hit == std::string::npos ? n : hit;
      std::memmove(bytes.data() + write, bytes.data() + after, end - after);
      write += end - after;
      read = hit;
    }
    bytes.resize(write);
    return String(std::move(bytes), enc);
  }

  // Growing: count first, so the result needs one allocation at its final size or, when
  // the text's buffer has the room, none: then it is filled from the back, where the
  // writes stay ahead of the reads. Matching from the back finds the same matches only
  // when no two of them can overlap: "aa" in "aaa" is the first two letters, not the last.
  std::size_t hits = 0;
  for (std::size_t at = next(0); at != std::string::npos;
       at = at + from.size() >= n ? std::string::npos : next(at + from.size())) {
    ++hits;
  }
  if (hits == 0) return String(std::move(bytes), enc);
  const std::size_t size = n + hits * (to.size() - from.size());
  if (bytes.capacity() >= size && !OverlapsItself(from)) {
    bytes.resize_and_overwrite(size, [&](char* p, std::size_t) {
      std::size_t end = n;  // source bytes not yet moved: [0, end)
      std::size_t w = size;
      for (; hits > 0; --hits) {
        const std::size_t at = LastMatch(p, end, from);
        const std::size_t tail = end - (at + from.size());
        w -= tail;
        std::memmove(p + w, p + at + from.size(), tail);
        w -= to.size();
        std::memcpy(p + w, to.data(), to.size());
        end = at;
      }
      return size;
    });
    return String(std::move(bytes), enc);
  }
  std::string out;
  out.resize_and_overwrite(size, [&](char* w, std::size_t) {
    std::size_t begin = 0;
    for (std::size_t at = next(0); at != std::string::npos;
         at = at + from.size() >= n ? std::string::npos : next(at + from.size())) {
      std::memcpy(w, bytes.data() + begin, at - begin);
      w += at - begin;
      std::memcpy(w, to.data(), to.size());
      w += to.size();
      begin = at + from.size();
    }
    std::memcpy(w, bytes.data() + begin, n - begin);
    return size;
  });
  return String(std::move(out), enc);
}

double Ceil(double value) { return std::ceil(value); }

const String& EndOfLine() {
  static const String eol("\n");
  return eol;
}

}  // namespace kolvane
