// The framework's text value and its string functions.
//
// A String is a sequence of bytes together with the encoding it is known to be in.
// Text written in the program's source is UTF-8. The string functions count characters,
// not bytes, from 1: in UTF-8 a character is one well-formed sequence, and each byte of
// a malformed sequence counts as one character of its own, so that cutting a text never
// changes its bytes. A text of no known encoding counts bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "TextEncoding.h"

namespace kolvane {

class String {
 public:
  String() = default;
  String(const char* utf8) : bytes_(utf8), encoding_(Encodings::UTF8) {}  // NOLINT
  String(std::string_view utf8) : bytes_(utf8), encoding_(Encodings::UTF8) {}  // NOLINT
  String(const std::string& utf8) : bytes_(utf8), encoding_(Encodings::UTF8) {}  // NOLINT
  String(std::string bytes, TextEncoding encoding) : bytes_(std::move(bytes)), encoding_(encoding) {}

  const std::string& Bytes() const& { return bytes_; }
  std::string Bytes() && { return std::move(bytes_); }
  TextEncoding Encoding() const { return encoding_; }
  bool IsEmpty() const { return bytes_.empty(); }

  // The text as UTF-8, for showing it; a text of no known encoding is taken as UTF-8.
  std::string ToUTF8() const;

  friend String operator+(const String& a, const String& b);
  String& operator+=(const String& other);
  // Texts are equal when they hold the same characters, whatever their encodings.
  friend bool operator==(const String& a, const String& b);

 private:
  std::string bytes_;
  TextEncoding encoding_ = Encodings::UTF8;
};

// Number of characters.
std::int32_t Len(const String& s);
// The first count characters; empty for a count of 0 or less.
String Left(const String& s, std::int64_t count);
// The last count characters; empty for a count of 0 or less.
String Right(const String& s, std::int64_t count);
// 1-based character position of the first find at or after start (0 or 1: from the
// beginning); 0 when absent or when find is empty.
std::int32_t InStr(std::int64_t start, const String& s, const String& find);
std::int32_t InStr(const String& s, const String& find);
// The character with this code point, as UTF-8.
String Chr(std::uint32_t code);
// Decimal digits.
String Str(std::int64_t value);
// Number of fields separated by separator: 1 when the text holds none.
std::int32_t CountFields(const String& s, const String& separator);
// The index-th field (from 1); empty when there is no such field.
String NthField(const String& s, const String& separator, std::int64_t index);
// Every find, from left to right and without overlap, replaced in one pass. The result
// keeps the text's encoding; an empty find leaves the text as it is.
String ReplaceAll(String s, const String& find, const String& replacement);
double Ceil(double value);
// The platform's default line ending.
const String& EndOfLine();

}  // namespace kolvane
