#include "Prefs_Modul.h"

#include "platform/Dialogs.h"
#include "platform/Window.h"

namespace kolvane::Prefs_Modul {

void UpdateProtocoll(const String& text) {
  try {
    MsgBox(text, 0, String());
  } catch (...) {
    Beep();
  }
}

}  // namespace kolvane::Prefs_Modul
