// The main window: the encoding and line-break choices, the single-file and folder tabs,
// the drop panel, the progress display, and the About and Quit buttons. It carries the
// conversion engine, whose operations read the choices from its controls.
#pragma once

#include <cstdint>

#include "engine/ConverterWindow.h"

namespace kolvane {

class MainWindow : public ConverterWindow {
 public:
  const char* ClassName() const override { return "MainWindow.MainWindow"; }

  // Event handlers, bound by _CreateControls0.
  void myPanel_DropObject(Ref<DragItem> item, std::int32_t action);
  void SourceDirectoryField_TextChange();
  void SourceDirSelectBtn_Action();
  void TargetDirectoryField_TextChange();
  void TargetDirSelectBtn_Action();
  void SourceFileField_TextChange();
  void SourceFileSelectBtn_Action();
  void ConvertSingleBtn_Action();
  void ConvertBatchBtn_Action();
  void DropText_Open();
  void QuitBtn_Action();
  void AboutBtn_Action();
  void ConvertLBCB_Action();

  // The enabling rules: which commands the chosen file and folders allow.
  void p_ActivateControls();

  // The controls the handlers reach, by name.
  Ref<TextField> SourceDirectoryField() const { return ControlByName<TextField>("SourceDirectoryField"); }
  Ref<TextField> TargetDirectoryField() const { return ControlByName<TextField>("TargetDirectoryField"); }
  Ref<TextField> SourceFileField() const { return ControlByName<TextField>("SourceFileField"); }
  Ref<BevelButton> SourceDirSelectBtn() const { return ControlByName<BevelButton>("SourceDirSelectBtn"); }
  Ref<BevelButton> TargetDirSelectBtn() const { return ControlByName<BevelButton>("TargetDirSelectBtn"); }
  Ref<PushButton> ConvertSingleBtn() const { return ControlByName<PushButton>("ConvertSingleBtn"); }
  Ref<PushButton> ConvertBatchBtn() const { return ControlByName<PushButton>("ConvertBatchBtn"); }
  Ref<StaticText> DropText() const { return ControlByName<StaticText>("DropText"); }

 protected:
  void Layout() override;
  void CreateControls() override;
  void Event_Open() override;

 private:
  void _CreateControls0();
};

// The open main window, or a new one built in its design state.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
Ref<class MainWindow> MainWindow();
#pragma GCC diagnostic pop

}  // namespace kolvane
