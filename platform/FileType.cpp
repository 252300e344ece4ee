#include "FileType.h"

#include <QString>
#include <QStringList>
#include <vector>

#include "QtText.h"

namespace kolvane {
namespace {

std::vector<FileType>& Registry() {
  static std::vector<FileType> types;
  return types;
}

const FileType* Find(const String& name) {
  for (const FileType& t : Registry()) {
    if (t.Name == name) return &t;
  }
  return nullptr;
}

std::vector<QString> ExtensionsOf(const FileType& t) {
  std::vector<QString> out;
  for (const QString& e : ToQString(t.Extensions).split(';', Qt::SkipEmptyParts)) out.push_back(e);
  return out;
}

}  // namespace

FileType::operator String() const {
  for (FileType& t : Registry()) {
    if (t.Name == Name) {
      t = *this;
      return Name;
    }
  }
  Registry().push_back(*this);
  return Name;
}

bool FileTypeRegistered(const String& typeName) { return Find(typeName) != nullptr; }

bool FileTypeAccepts(const String& typeName, const FolderItem& file) {
  const FileType* t = Find(typeName);
  if (!t) return false;
  if (t->MacType == String("????")) return true;
  const QString name = ToQString(file.Name());
  for (const QString& ext : ExtensionsOf(*t)) {
    if (name.endsWith(ext, Qt::CaseInsensitive)) return true;
  }
  return false;
}

String FileTypeFilter(const String& typeName) {
  const FileType* t = Find(typeName);
  if (!t) return String("(*)");
  QStringList patterns;
  if (t->MacType == String("????")) {
    patterns << "*";
  } else {
    for (const QString& ext : ExtensionsOf(*t)) patterns << "*" + ext;
  }
  return FromQString(ToQString(t->Name) + " (" + patterns.join(' ') + ")");
}

}  // namespace kolvane
