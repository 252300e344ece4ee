// The program's file types, registered at start-up. The type named "text" filters the
// single-file dialog and the files the main window takes when dropped.
#pragma once

#include "platform/FileType.h"
#include "platform/Runtime.h"

namespace kolvane::FileTypes {

inline Ref<FileType> pTextPlain;
inline Ref<FileType> pApplicationBinary;

void _Initialize();

}  // namespace kolvane::FileTypes
