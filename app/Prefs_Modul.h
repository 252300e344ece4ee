// The preferences module: the program-wide error report and the notice dialog's result
// live here beside the preferences store.
#pragma once

#include <cstdint>

#include "platform/Dictionary.h"
#include "platform/FolderItem.h"
#include "platform/String.h"

namespace kolvane {
namespace Prefs_Modul {

// The preferences: a map kept in the file "Kolvane_Prefs.txt" of the user's Preferences
// folder, one entry a line: the key, a TAB, the value.
inline Ref<Dictionary> Prefs_Values;
inline Ref<FolderItem> Prefs_PrefsFolder;
// When set, the file to use instead of the default one.
inline Ref<FolderItem> PrefsFile;

// Makes a new empty map, finds the Preferences folder and loads the file, creating it
// when it is missing. False only when one of its own steps failed.
bool Prefs_Initialize();
// Replaces the map's entries with the file's, or creates the file from the map when it
// is missing. True when the file was read to its end or was missing.
bool Prefs_ReadFromFile();
// Rewrites the whole file from the map; the file is replaced whole or not at all.
void Prefs_WriteToFile();
// The value stored under the key, or the empty text.
String Prefs_GetValue(const String& key);
// Stores the value under the key, in memory only.
void Prefs_PutValue(const String& key, const String& value);

// The number of the notice dialog's button last pressed (1 to 3), -1 from the moment a
// notice is prepared until one of its buttons is pressed, 0 before the first notice.
inline std::int32_t WarnWindowResult = 0;

// Shows the text in a modal alert with one OK button and an empty title; sounds the
// system beep instead when the alert cannot be shown. Keeps no record.
void UpdateProtocoll(const String& text);

}  // namespace Prefs_Modul

using Prefs_Modul::Prefs_GetValue;
using Prefs_Modul::Prefs_Initialize;
using Prefs_Modul::Prefs_PutValue;
using Prefs_Modul::Prefs_ReadFromFile;
using Prefs_Modul::Prefs_WriteToFile;
using Prefs_Modul::UpdateProtocoll;

}  // namespace kolvane
