// Texts crossing between the program and the toolkit.
#pragma once

#include <QString>

#include "String.h"

namespace kolvane {

inline QString ToQString(const String& s) {
  const std::string utf8 = s.ToUTF8();
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline String FromQString(const QString& s) { return String(s.toUtf8().toStdString()); }

}  // namespace kolvane
