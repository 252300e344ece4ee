// Text encodings and the converter between them.
#pragma once

#include <cstdint>
#include <string>

#include "Runtime.h"

namespace kolvane {

class String;

// The character sets the converter knows. Windows Latin1 and Windows ANSI are both
// code page 1252.
enum class Charset : std::uint8_t { MacRoman, ISOLatin1, Windows1252, UTF8 };

// The encoding a text is known to be in, or none (bytes of unknown meaning).
class TextEncoding {
 public:
  constexpr TextEncoding() = default;
  constexpr explicit TextEncoding(Charset c) : charset_(c), known_(true) {}

  constexpr bool IsNone() const { return !known_; }
  constexpr Charset charset() const { return charset_; }
  // Only UTF-8 needs more than one byte for a character.
  constexpr bool IsSingleByte() const { return known_ && charset_ != Charset::UTF8; }

  friend constexpr bool operator==(TextEncoding a, TextEncoding b) {
    return a.known_ == b.known_ && (!a.known_ || a.charset_ == b.charset_);
  }

 private:
  Charset charset_ = Charset::UTF8;
  bool known_ = false;
};

struct Encodings {
  static constexpr TextEncoding MacRoman{Charset::MacRoman};
  static constexpr TextEncoding ISOLatin1{Charset::ISOLatin1};
  static constexpr TextEncoding WindowsLatin1{Charset::Windows1252};
  static constexpr TextEncoding WindowsANSI{Charset::Windows1252};
  static constexpr TextEncoding UTF8{Charset::UTF8};
};

// Converts texts from one encoding to another. The text's bytes are taken to be in the
// source encoding whatever the text is labelled; the result is labelled with the target.
class EncodingConverter {
 public:
  EncodingConverter(TextEncoding source, TextEncoding target) : source_(source), target_(target) {}
  String Convert(String text) const;
  TextEncoding SourceEncoding() const { return source_; }
  TextEncoding TargetEncoding() const { return target_; }

 private:
  TextEncoding source_;
  TextEncoding target_;
};

// A converter for the pair, or none when either encoding is none.
Ref<EncodingConverter> GetEncodingConverter(TextEncoding source, TextEncoding target);

namespace transcode {

// Re-encodes bytes from one character set to another in one pass over the input.
// Equal sets return the input unchanged. A character the target cannot hold becomes
// "?"; an invalid UTF-8 sequence becomes U+FFFD, or "?" in a single-byte target.
// No byte-order mark is added or removed; line breaks are bytes like any other.
[[nodiscard]] std::string Convert(std::string&& in, Charset from, Charset to);

// The code point a byte of a single-byte character set stands for. Every byte decodes.
[[nodiscard]] char32_t DecodeByte(Charset set, std::uint8_t byte) noexcept;

}  // namespace transcode

}  // namespace kolvane
