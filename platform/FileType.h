// File types the program registers by name, to filter open dialogs and drops.
#pragma once

#include "FolderItem.h"
#include "String.h"

namespace kolvane {

class FileType {
 public:
  String Name;
  // Extensions separated by ";", each with its leading ".".
  String Extensions;
  String MacType;
  String MacCreator;

  // Registers the type under its name and gives the name back.
  operator String() const;  // NOLINT: the framework's conversion to text
};

// Whether the registered type of that name takes the file: by extension, or any file
// at all for the classic wildcard type code "????".
bool FileTypeAccepts(const String& typeName, const FolderItem& file);
// The name filters of the registered type, for a file dialog ("text (*)").
String FileTypeFilter(const String& typeName);
bool FileTypeRegistered(const String& typeName);

}  // namespace kolvane
