#include "Labels.h"

namespace kolvane {

TextEncoding EncodingOfLabel(const String& label) {
  for (const EncodingLabelRow& row : EncodingLabel) {
    if (label == String(row.label)) return row.encoding;
  }
  return Encodings::UTF8;
}

String LineBreakOfLabel(const String& label) {
  for (const LineBreakLabelRow& row : LineBreakLabel) {
    if (label == String(row.label)) {
      String sequence;
      for (const std::uint8_t code : row.codes) {
        if (code != 0) sequence += Chr(code);
      }
      return sequence;
    }
  }
  return String();
}

String ConvertedFileName(const String& name) {
  const String extension = NthField(name, ".", CountFields(name, "."));
  if (extension.IsEmpty()) return name + "_Converted";
  const String stem = Left(name, Len(name) - Len(extension) - 1);
  return stem + "_Converted." + extension;
}

}  // namespace kolvane
