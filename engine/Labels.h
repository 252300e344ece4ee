// The label tables: what each text of the encoding and line-break popups stands for.
// The popups list exactly these labels, in this order.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "platform/String.h"
#include "platform/TextEncoding.h"

namespace kolvane {

struct EncodingLabelRow {
  const char* label;
  TextEncoding encoding;
};

inline constexpr std::array<EncodingLabelRow, 5> EncodingLabel{{
    {"MacRoman", Encodings::MacRoman},
    {"ISO Latin1", Encodings::ISOLatin1},
    {"Windows Latin1", Encodings::WindowsLatin1},
    {"Windows ANSI", Encodings::WindowsANSI},
    {"UTF-8 (no BOM)", Encodings::UTF8},
}};

struct LineBreakLabelRow {
  const char* label;
  std::array<std::uint8_t, 2> codes;  // character codes; 0 ends the sequence
};

inline constexpr std::array<LineBreakLabelRow, 3> LineBreakLabel{{
    {"Mac Classic (CR)", {13, 0}},
    {"Windows (CRLF)", {13, 10}},
    {"Unix (LF)", {10, 0}},
}};

// The encoding a label stands for; any other text stands for UTF-8.
TextEncoding EncodingOfLabel(const String& label);
// The line-break sequence a label stands for; any other text stands for the empty text.
String LineBreakOfLabel(const String& label);

// The name of a single file's converted copy: the part of the name before its last
// ".", "_Converted.", and the part after it. A name without "." is all extension
// ("README" gives "_Converted.README"); a name ending in "." gets "_Converted" appended.
String ConvertedFileName(const String& name);

}  // namespace kolvane
