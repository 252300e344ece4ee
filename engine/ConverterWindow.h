// The converting half of the main window: the conversion operations and the window
// state they work on. The operations read the user's choices from the window's controls
// by name at the moment of the call, and write the progress display the same way.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/FolderItem.h"
#include "platform/String.h"
#include "platform/Window.h"

namespace kolvane {

class ConverterWindow : public Window {
 public:
  // The window's state.
  Ref<FolderItem> TargetFolder;
  Ref<FolderItem> SourceFolder;
  Ref<FolderItem> SourceFile;
  std::int32_t ItemCount = 0;

  // The text converted from the source label's encoding to the target label's; the
  // empty text after a failure, which is reported here.
  String p_ConvertText(const String& sourceLabel, const String& targetLabel, String text);
  // The text with every source line break replaced by the target's; the empty text
  // after a failure, which is reported here.
  String p_ConvertCRLF(const String& sourceLabel, const String& targetLabel, String text);

 protected:
  // Converts one file into a new file beside it; returns that file, or none after a
  // failure, which is reported here.
  Ref<FolderItem> p_ConvertSingleFile(Ref<FolderItem> file);

  // The controls the conversion reads and writes.
  Ref<PopupMenu> SourcePop() const { return ControlByName<PopupMenu>("SourcePop"); }
  Ref<PopupMenu> TargetPop() const { return ControlByName<PopupMenu>("TargetPop"); }
  Ref<PopupMenu> LBSourcePop() const { return ControlByName<PopupMenu>("LBSourcePop"); }
  Ref<PopupMenu> LBTargetPop() const { return ControlByName<PopupMenu>("LBTargetPop"); }
  Ref<CheckBox> ConvertLBCB() const { return ControlByName<CheckBox>("ConvertLBCB"); }
};

}  // namespace kolvane
