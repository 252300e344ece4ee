#include "Prefs_Modul.h"

#include "platform/Dialogs.h"
#include "platform/UserFolders.h"
#include "platform/Window.h"

namespace kolvane::Prefs_Modul {

void UpdateProtocoll(const String& text) {
  try {
    MsgBox(text, 0, String());
  } catch (...) {
    Beep();
  }
}

namespace {

// The file the store reads and writes, worked out anew each time.
Ref<FolderItem> PreferencesFile() {
  if (PrefsFile) return PrefsFile;
  return Prefs_PrefsFolder->Child("Kolvane_Prefs.txt");
}

}  // namespace

bool Prefs_Initialize() {
  try {
    Prefs_Values = New<Dictionary>();
    Prefs_PrefsFolder = SpecialFolder::Preferences();
    Prefs_ReadFromFile();
    return true;
  } catch (...) {
    UpdateProtocoll("Exception in Prefs:Initialize");
    return false;
  }
}

bool Prefs_ReadFromFile() {
  try {
    const Ref<FolderItem> file = PreferencesFile();
    if (!file) return false;
    if (!file->Exists()) {
      Prefs_WriteToFile();
      return true;
    }
    const Ref<TextInputStream> in = file->OpenAsTextFile();
    if (!in) return false;
    Prefs_Values->Clear();
    while (!in->EOF_()) {
      const String line = in->ReadLine();
      const std::int32_t pos = InStr(0, line, Chr(9));
      const String key = Left(line, pos - 1);
      const String value = Right(line, Len(line) - pos);
      Prefs_Values->SetValue(key, value);
      RuntimeBackgroundTask();
    }
    in->Close();
    return true;
  } catch (...) {
    UpdateProtocoll("Exception in Prefs:ReadPrefs");
    return false;
  }
}

void Prefs_WriteToFile() {
  try {
    const Ref<FolderItem> file = PreferencesFile();
    if (!file) return;
    // A preferences file kept elsewhere behind a link stays there.
    const Ref<TextOutputStream> out = file->CreateTextFile(LinkAtName::WriteThrough);
    const std::int32_t n = Prefs_Values->Count();
    if (!out) return;
    for (std::int32_t i = 0; i < n; ++i) {
      const String k = Prefs_Values->Key(i);
      const String v = Prefs_Values->Value(k);
      out->WriteLine(k + Chr(9) + v);
      RuntimeBackgroundTask();
    }
    out->Close();
  } catch (...) {
    UpdateProtocoll("Exception in Prefs:WriteToFile");
  }
}

String Prefs_GetValue(const String& key) {
  try {
    if (Prefs_Values->HasKey(key)) return Prefs_Values->Value(key);
    return String();
  } catch (...) {
    UpdateProtocoll("Exception in Prefs_GetValue");
    return String();
  }
}

void Prefs_PutValue(const String& key, const String& value) {
  try {
    if (!Prefs_Values) return;
    Prefs_Values->SetValue(key, value);
  } catch (...) {
    UpdateProtocoll("Exception in Prefs:PutValue");
  }
}

}  // namespace kolvane::Prefs_Modul
