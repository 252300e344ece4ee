// The framework's modal dialogs.
#pragma once

#include <cstdint>

#include "FolderItem.h"
#include "String.h"

namespace kolvane {

// A modal message box with the text and one OK button; returns when it is dismissed.
void MsgBox(const String& message);
// The same with a button set (0: OK alone) and a title; returns the pressed button (1: OK).
std::int32_t MsgBox(const String& message, std::int32_t buttons, const String& title);

// The modal open-file dialog listing files of the registered types named (separated by
// ";"); the chosen file, or none when cancelled.
Ref<FolderItem> GetOpenFolderItem(const String& fileTypes);
// The modal folder dialog; the chosen folder, or none when cancelled.
Ref<FolderItem> SelectFolder();

}  // namespace kolvane
