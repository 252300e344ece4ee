#include "FileTypes.h"

namespace kolvane::FileTypes {

void _Initialize() {
  pTextPlain = New<FileType>();
  pTextPlain->Name = "text";
  pTextPlain->Extensions = ".txt;.ascii;.text;.tab.;.csv;.vcf;.";
  pTextPlain->MacType = "????";
  pTextPlain->MacCreator = "????";
  static_cast<void>(static_cast<String>(*pTextPlain));  // registers the type

  pApplicationBinary = New<FileType>();
  pApplicationBinary->Name = "application/binary";
  pApplicationBinary->Extensions = "";
  pApplicationBinary->MacType = "????";
  pApplicationBinary->MacCreator = "????";
  static_cast<void>(static_cast<String>(*pApplicationBinary));
}

}  // namespace kolvane::FileTypes
