#include "MainWindow.h"

#include <optional>

#include "app/AboutWindow.h"
#include "app/Pictures.h"
#include "app/Prefs_Modul.h"
#include "app/WarnWindow.h"
#include "engine/Labels.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"

namespace kolvane {

Ref<class MainWindow> MainWindow() { return ImplicitInstance<class MainWindow>("MainWindow.MainWindow"); }

void MainWindow::Layout() {
  _SetProperties({
      {"Title", String("Kolvane")},
      {"Width", 448},
      {"Height", 360},
      {"MinWidth", 64},
      {"MinHeight", 64},
      {"MaxWidth", 32000},
      {"MaxHeight", 32000},
      {"Resizeable", false},
      {"LiveResize", false},
      {"Frame", 0},
      {"Placement", 2},
      {"CloseButton", true},
      {"MinimizeButton", true},
      {"MaximizeButton", false},
      {"FullScreen", false},
      {"MenuBarVisible", true},
      {"Composite", false},
      {"HasBackColor", false},
      {"BackColor", RGB(255, 255, 255)},
      {"Visible", true},
      {"MacProcID", 0},
  });
}

void MainWindow::CreateControls() { _CreateControls0(); }

namespace {

// Where a control lies: on the window, or on page 1 or 2 of the tab panel.
constexpr std::int32_t kWindow = 0;

struct Place {
  std::int32_t page;
  std::int32_t left, top, width, height;
};

// The design values every control has, then the given ones.
DesignBlock ControlDesign(const Place& at, std::optional<std::int32_t> tabIndex, DesignBlock own,
                   bool fonts = true) {
  DesignBlock block = {
      {"Index", -2147483647 - 1},
      {"Left", at.left},
      {"Top", at.top},
      {"Width", at.width},
      {"Height", at.height},
      {"LockLeft", true},
      {"LockTop", true},
      {"LockRight", false},
      {"LockBottom", false},
      {"TabPanelIndex", at.page},
  };
  if (tabIndex) block.emplace_back("TabIndex", *tabIndex);
  block.insert(block.end(), own.begin(), own.end());
  if (fonts) {
    block.insert(block.end(), {{"TextFont", String("System")},
                               {"Bold", false},
                               {"Italic", false},
                               {"Underline", false}});
  }
  block.insert(block.end(), {{"Visible", true},
                             {"HelpTag", String()},
                             {"AutoDeactivate", true},
                             {"InitialParent", String(at.page == kWindow ? "" : "myPanel")}});
  return block;
}

DesignBlock Label(const char* text, bool enabled = true, std::int32_t align = 0) {
  return {{"Text", String(text)},  {"TextAlign", align},     {"TextColor", RGB(0, 0, 0)},
          {"Multiline", false},    {"Enabled", enabled},     {"DataSource", String()},
          {"DataField", String()}};
}

DesignBlock PathField() {
  return {{"TabStop", true},        {"Border", true},       {"Password", false},
          {"UseFocusRing", true},   {"TextColor", RGB(0, 0, 0)}, {"BackColor", RGB(255, 255, 255)},
          {"Format", 0},     {"CueText", String()},  {"Text", String()},
          {"Mask", String()},       {"ReadOnly", true},     {"LimitText", 0},
          {"AcceptTabs", false},    {"Alignment", 0},       {"Enabled", true},
          {"DataSource", String()}, {"DataField", String()}};
}

DesignBlock Bevel(const char* caption, bool enabled) {
  return {{"TabStop", true},         {"Caption", String(caption)}, {"CaptionAlign", 0},
          {"CaptionPlacement", 2},   {"CaptionDelta", 3},          {"IconAlign", 0},
          {"IconDX", 3},             {"IconDY", 0},                {"Bevel", 0},
          {"HasMenu", 0},            {"HasBackColor", false},      {"BackColor", RGB(0, 0, 0)},
          {"TextColor", RGB(0, 0, 0)}, {"Value", false},           {"MenuValue", 0},
          {"ButtonType", 0},         {"AcceptFocus", false},       {"Enabled", enabled}};
}

DesignBlock Button(const char* caption, bool enabled, bool isDefault = false) {
  return {{"TabStop", true},
          {"Caption", String(caption)},
          {"Default", isDefault},
          {"Cancel", false},
          {"Enabled", enabled}};
}

DesignBlock Popup(bool enabled) {
  return {{"TabStop", true},         {"InitialValue", String()}, {"ListIndex", 0},
          {"Enabled", enabled},      {"DataSource", String()},   {"DataField", String()}};
}

}  // namespace

void MainWindow::_CreateControls0() {
  // Adds a control, gives it its text size (when it has one), text unit and icon, then
  // its design values.
  auto add = [this](const char* name, const Ref<RectControl>& control, float textSize,
                    Ref<Picture> icon, const DesignBlock& design) {
    _AddControl(name, control);
    if (auto bevel = RefCast<BevelButton>(control)) bevel->SetIcon(icon);
    if (textSize > 0) control->SetTextSize(textSize);
    if (!RefCast<ProgressBar>(control)) control->SetTextUnit(0);
    control->_SetProperties(design);
  };
  const float kText = 11;
  const float kUnset = 0;

  add("myPanel", New<TabPanel>(), kUnset, nullptr,
      ControlDesign({kWindow, 10, 69, 428, 203}, 2,
             {{"TabStop", true},
              {"TabDefinition", String("Single File Conversion") + Chr(13) + "Batch Conversion"},
              {"SmallTabs", false},
              {"Value", 0},
              {"Enabled", true}}));
  _InstallInstanceEventHandler(FindControl("myPanel"), "DropObject", &MainWindow::myPanel_DropObject);

  add("StaticText1", New<StaticText>(), kText, nullptr,
      ControlDesign({2, 20, 109, 111, 20}, 0, Label("Source Directory:")));
  add("SourceDirectoryField", New<TextField>(), kText, nullptr,
      ControlDesign({2, 20, 131, 317, 20}, 1, PathField()));
  _InstallInstanceEventHandler(FindControl("SourceDirectoryField"), "TextChange",
                               &MainWindow::SourceDirectoryField_TextChange);
  add("SourceDirSelectBtn", New<BevelButton>(), kUnset, Ordner(),
      ControlDesign({2, 342, 130, 86, 22}, 2, Bevel("Select...", false)));
  _InstallInstanceEventHandler(FindControl("SourceDirSelectBtn"), "Action",
                               &MainWindow::SourceDirSelectBtn_Action);
  add("StaticText2", New<StaticText>(), kText, nullptr,
      ControlDesign({2, 20, 155, 111, 20}, 3, Label("Target Directory:")));
  add("TargetDirectoryField", New<TextField>(), kText, nullptr,
      ControlDesign({2, 20, 177, 317, 20}, 4, PathField()));
  _InstallInstanceEventHandler(FindControl("TargetDirectoryField"), "TextChange",
                               &MainWindow::TargetDirectoryField_TextChange);
  add("TargetDirSelectBtn", New<BevelButton>(), kUnset, Ordner(),
      ControlDesign({2, 342, 176, 86, 22}, 5, Bevel("Select...", false)));
  _InstallInstanceEventHandler(FindControl("TargetDirSelectBtn"), "Action",
                               &MainWindow::TargetDirSelectBtn_Action);
  add("StatusBar", New<ProgressBar>(), kUnset, nullptr,
      ControlDesign({2, 20, 204, 408, 16}, std::nullopt, {{"Value", 0}, {"Maximum", 100}, {"Enabled", true}},
             false));
  add("StaticText3", New<StaticText>(), kText, nullptr, ControlDesign({1, 20, 109, 111, 20}, 0, Label("Source File:")));
  add("SourceFileField", New<TextField>(), kText, nullptr, ControlDesign({1, 20, 133, 317, 20}, 1, PathField()));
  _InstallInstanceEventHandler(FindControl("SourceFileField"), "TextChange",
                               &MainWindow::SourceFileField_TextChange);
  add("SourceFileSelectBtn", New<BevelButton>(), kUnset, Ordner(),
      ControlDesign({1, 342, 132, 86, 22}, 2, Bevel("Select...", true)));
  _InstallInstanceEventHandler(FindControl("SourceFileSelectBtn"), "Action",
                               &MainWindow::SourceFileSelectBtn_Action);
  add("StatusText", New<StaticText>(), kText, nullptr, ControlDesign({2, 20, 217, 408, 20}, 6, Label("-")));
  add("ConvertSingleBtn", New<PushButton>(), kUnset, nullptr,
      ControlDesign({1, 277, 200, 151, 20}, 3, Button("Convert", false)));
  _InstallInstanceEventHandler(FindControl("ConvertSingleBtn"), "Action", &MainWindow::ConvertSingleBtn_Action);
  add("ConvertBatchBtn", New<PushButton>(), kUnset, nullptr,
      ControlDesign({2, 276, 238, 151, 20}, 7, Button("Batch Convert", false)));
  _InstallInstanceEventHandler(FindControl("ConvertBatchBtn"), "Action", &MainWindow::ConvertBatchBtn_Action);
  add("StaticText4", New<StaticText>(), kText, nullptr,
      ControlDesign({1, 20, 160, 408, 20}, 4,
             Label("The converted file will be created in the same directory as the source file.")));
  add("StaticText7", New<StaticText>(), kText, nullptr, ControlDesign({1, 20, 180, 73, 20}, 5, Label("...or Drop!")));
  add("DropText", New<StaticText>(), kText, nullptr, ControlDesign({2, 20, 239, 73, 20}, 8, Label("...or Drop!", false)));
  _InstallInstanceEventHandler(FindControl("DropText"), "Open", &MainWindow::DropText_Open);
  add("QuitBtn", New<PushButton>(), kUnset, nullptr, ControlDesign({kWindow, 342, 321, 96, 20}, 7, Button("Quit", true, true)));
  _InstallInstanceEventHandler(FindControl("QuitBtn"), "Action", &MainWindow::QuitBtn_Action);
  add("AboutBtn", New<BevelButton>(), kUnset, TrafficCone(), ControlDesign({kWindow, 10, 322, 96, 22}, 8, Bevel("About", true)));
  _InstallInstanceEventHandler(FindControl("AboutBtn"), "Action", &MainWindow::AboutBtn_Action);
  add("TargetPop", New<PopupMenu>(), kText, nullptr, ControlDesign({kWindow, 248, 11, 190, 20}, 9, Popup(true)));
  add("StaticText5", New<StaticText>(), kText, nullptr, ControlDesign({kWindow, 217, 13, 19, 16}, 10, Label(">>", true, 1)));
  add("SourcePop", New<PopupMenu>(), kText, nullptr, ControlDesign({kWindow, 10, 11, 195, 20}, 11, Popup(true)));
  add("StaticText6", New<StaticText>(), kText, nullptr, ControlDesign({kWindow, 277, 43, 19, 16}, 12, Label(">>", true, 1)));
  add("LBSourcePop", New<PopupMenu>(), kText, nullptr, ControlDesign({kWindow, 156, 41, 109, 20}, 13, Popup(false)));
  add("LBTargetPop", New<PopupMenu>(), kText, nullptr, ControlDesign({kWindow, 308, 41, 130, 20}, 14, Popup(false)));
  add("ConvertLBCB", New<CheckBox>(), kText, nullptr,
      ControlDesign({kWindow, 14, 41, 136, 20}, 15,
             {{"TabStop", true},
              {"Caption", String("Convert Linebreaks:")},
              {"State", 0},
              {"Value", false},
              {"Enabled", true},
              {"DataSource", String()},
              {"DataField", String()}}));
  _InstallInstanceEventHandler(FindControl("ConvertLBCB"), "Action", &MainWindow::ConvertLBCB_Action);
}

// ---- Opening and enabling rules

void MainWindow::Event_Open() {
  myPanel()->AcceptFileDrop("text");
  p_ActivateControls();
  // Each popup gets all its rows before its selection.
  const auto fill = [](const Ref<PopupMenu>& pop, const auto& table, std::int32_t selected) {
    for (const auto& row : table) pop->AddRow(row.label);
    pop->SetListIndex(selected);
  };
  fill(SourcePop(), EncodingLabel, 0);     // "MacRoman"
  fill(TargetPop(), EncodingLabel, 1);     // "ISO Latin1"
  fill(LBSourcePop(), LineBreakLabel, 0);  // "Mac Classic (CR)"
  fill(LBTargetPop(), LineBreakLabel, 1);  // "Windows (CRLF)"
}

void MainWindow::p_ActivateControls() {
  ConvertSingleBtn()->SetEnabled(false);
  ConvertBatchBtn()->SetEnabled(false);
  if (SourceFile) ConvertSingleBtn()->SetEnabled(true);
  DropText()->SetEnabled(true);
  SourceDirSelectBtn()->SetEnabled(true);
  if (SourceFolder) {
    TargetDirSelectBtn()->SetEnabled(true);
    if (TargetFolder) ConvertBatchBtn()->SetEnabled(true);
  }
}

void MainWindow::ConvertLBCB_Action() {
  const bool ticked = ConvertLBCB()->Value();
  LBSourcePop()->SetEnabled(ticked);
  LBTargetPop()->SetEnabled(ticked);
}

void MainWindow::SourceDirectoryField_TextChange() { p_ActivateControls(); }
void MainWindow::TargetDirectoryField_TextChange() { p_ActivateControls(); }
void MainWindow::SourceFileField_TextChange() { p_ActivateControls(); }
void MainWindow::DropText_Open() {}

void MainWindow::AboutBtn_Action() {
  AboutWindow()->Show();
  AboutWindow()->ControlByName<Timer>("CloseTimer")->SetMode(0);
}

void MainWindow::QuitBtn_Action() { Quit(0); }

// ---- Commands and drops

void MainWindow::SourceFileSelectBtn_Action() {
  try {
    const Ref<FolderItem> file = GetOpenFolderItem("text");
    if (!file) return;
    SourceFileField()->SetText(file->AbsolutePath());
    SourceFile = file;
    p_ActivateControls();
  } catch (...) {
    UpdateProtocoll("Exception in SoruceFileSelectBtn");
  }
}

void MainWindow::SourceDirSelectBtn_Action() {
  const Ref<FolderItem> folder = SelectFolder();
  if (!folder || !folder->Exists()) return;
  SourceFolder = folder;
  SourceDirectoryField()->SetText(folder->AbsolutePath());
  p_ActivateControls();
}

void MainWindow::TargetDirSelectBtn_Action() {
  const Ref<FolderItem> folder = SelectFolder();
  if (!folder || !folder->Exists()) return;
  TargetFolder = folder;
  TargetDirectoryField()->SetText(folder->AbsolutePath());
  p_ActivateControls();
}

void MainWindow::ConvertSingleBtn_Action() {
  try {
    const ConversionGuard conversion(*this);
    if (conversion.Refused()) return;
    if (!SourceFile) return;
    const Ref<FolderItem> result = p_ConvertSingleFile(SourceFile);
    if (result && result->Exists()) {
      WarnWindow()->InitWindow(1, "Conversion done successfull.", "OK", "", "");
    }
  } catch (...) {
    UpdateProtocoll("ConvertBtn.Action");
  }
}

void MainWindow::ConvertBatchBtn_Action() {
  const ConversionGuard conversion(*this);
  if (conversion.Refused()) return;
  StatusBar()->SetValue(0);
  ItemCount = 0;
  {
    const RunOutputScope output(*this, SourceFolder, TargetFolder);
    p_CountItems(SourceFolder);
  }
  StatusBar()->SetMaximum(ItemCount);
  StatusText()->SetText(Str(StatusBar()->Value()) + " of " + Str(ItemCount));
  p_Convert(SourceFolder, TargetFolder);
  WarnWindow()->InitWindow(1, "Conversion done.", "OK", "", "");
}

void MainWindow::myPanel_DropObject(Ref<DragItem> item, std::int32_t) {
  try {
    const ConversionGuard conversion(*this);
    if (conversion.Refused()) return;
    const Ref<FolderItem> dropped = item->FolderItem();
    if (!dropped) return;
    if (dropped->Directory()) {
      SourceFolder = dropped;
      TargetFolder = dropped->Parent();
      p_Convert(SourceFolder, TargetFolder);
    } else if (dropped->Exists()) {
      const Ref<FolderItem> result = p_ConvertSingleFile(dropped);
      if (result && result->Exists()) {
        WarnWindow()->InitWindow(1, "Conversion done successfull.", "OK", "", "");
      }
    }
  } catch (...) {
    UpdateProtocoll("Exception in myPanel.DropObject");
  }
}

}  // namespace kolvane
