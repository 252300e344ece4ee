// Decoding tables of the single-byte character sets, private to the converter.
#pragma once

#include <array>

#include "TextEncoding.h"

namespace kolvane::encoding_tables {

// Byte -> code point. Every character of the three sets lies in the Basic Multilingual
// Plane, so 16 bits hold it. Bytes 0x00-0x7F are ASCII in all three, and no byte from
// 0x80 up decodes to ASCII; the converter's fast paths rely on both.
using DecodeTable = std::array<char16_t, 256>;

extern const DecodeTable kMacRoman;
extern const DecodeTable kISOLatin1;
extern const DecodeTable kWindows1252;

// The table of a single-byte set; set must not be UTF-8.
[[nodiscard]] const DecodeTable& DecodeTableFor(Charset set) noexcept;

}  // namespace kolvane::encoding_tables
