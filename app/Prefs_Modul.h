// The preferences module: the program-wide error report and the notice dialog's result
// live here beside the preferences store.
#pragma once

#include <cstdint>

#include "platform/String.h"

namespace kolvane {
namespace Prefs_Modul {

// The number of the notice dialog's button last pressed (1 to 3), -1 from the moment a
// notice is prepared until one of its buttons is pressed, 0 before the first notice.
inline std::int32_t WarnWindowResult = 0;

// Shows the text in a modal alert with one OK button and an empty title; sounds the
// system beep instead when the alert cannot be shown. Keeps no record.
void UpdateProtocoll(const String& text);

}  // namespace Prefs_Modul

using Prefs_Modul::UpdateProtocoll;

}  // namespace kolvane
