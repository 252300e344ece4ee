#include "WarnWindow.h"

#include "Prefs_Modul.h"
#include "platform/Application.h"

namespace kolvane {

Ref<class WarnWindow> WarnWindow() { return ImplicitInstance<class WarnWindow>("WarnWindow.WarnWindow"); }

void WarnWindow::Layout() {
  _SetProperties({
      {"Placement", 3},
      {"Width", 365},
      {"Height", 135},
      {"MinWidth", 310},
      {"MinHeight", 104},
      {"MaxWidth", 32000},
      {"MaxHeight", 32000},
      {"Frame", 1},
      {"Composite", false},
      {"HasBackColor", true},
      {"BackColor", RGB(255, 226, 160)},
      {"Title", String("Hinweis!")},
      {"Visible", true},
      {"FullScreen", false},
      {"MenuBarVisible", true},
      {"CloseButton", false},
      {"Resizeable", false},
      {"LiveResize", false},
      {"MaximizeButton", false},
      {"MinimizeButton", true},
      {"MacProcID", 0},
  });
}

void WarnWindow::CreateControls() { _CreateControls0(); }

void WarnWindow::_CreateControls0() {
  const Ref<StaticText> text = New<StaticText>();
  _AddControl("DoText", text);
  text->SetTextUnit(0);
  text->SetTextSize(12);
  text->_SetProperties({
      {"Index", -2147483647 - 1},
      {"Left", 2},
      {"Top", 4},
      {"Width", 350},
      {"Height", 87},
      {"LockLeft", true},
      {"LockTop", true},
      {"LockRight", true},
      {"LockBottom", true},
      {"TabPanelIndex", 0},
      {"TabIndex", 0},
      {"TabStop", true},
      {"Text", String("-")},
      {"TextAlign", 0},
      {"TextColor", RGB(0, 0, 0)},
      {"TextFont", String("System")},
      {"Bold", true},
      {"Italic", false},
      {"Underline", false},
      {"Multiline", true},
      {"Enabled", true},
      {"Visible", true},
      {"HelpTag", String()},
      {"AutoDeactivate", true},
      {"DataSource", String()},
      {"DataField", String()},
      {"InitialParent", String()},
  });

  struct ButtonDesign {
    const char* name;
    const char* caption;
    std::int32_t left;
    std::int32_t tabIndex;
    void (WarnWindow::*handler)();
  };
  const ButtonDesign buttons[] = {
      {"Do1Btn", "Do1", 252, 1, &WarnWindow::Do1Btn_Action},
      {"Do2Btn", "Do2", 146, 2, &WarnWindow::Do2Btn_Action},
      {"Do3Btn", "Do3", 38, 3, &WarnWindow::Do3Btn_Action},
      {"Do4Btn", "Do4", -70, 4, &WarnWindow::Do4Btn_Action},
  };
  for (const ButtonDesign& b : buttons) {
    const Ref<PushButton> button = New<PushButton>();
    _AddControl(b.name, button);
    button->SetTextUnit(0);
    button->SetTextSize(11);
    button->_SetProperties({
        {"Index", -2147483647 - 1},
        {"Left", b.left},
        {"Top", 103},
        {"Width", 100},
        {"Height", 20},
        {"LockLeft", false},
        {"LockTop", false},
        {"LockRight", true},
        {"LockBottom", true},
        {"TabPanelIndex", 0},
        {"TabIndex", b.tabIndex},
        {"TabStop", true},
        {"Caption", String(b.caption)},
        {"Default", false},
        {"Cancel", false},
        {"TextFont", String("System")},
        {"Bold", false},
        {"Italic", false},
        {"Underline", false},
        {"Enabled", true},
        {"Visible", false},
        {"HelpTag", String()},
        {"AutoDeactivate", true},
        {"InitialParent", String()},
    });
    _InstallInstanceEventHandler(button, "Action", b.handler);
  }
}

void WarnWindow::Event_Open() {
  const Ref<Application> app = _GetAppObject();
  SetTitle(NthField(app->ExecutableFile()->DisplayName(), ".", 1) + " v." + app->ShortVersion() +
           " - " + "Hinweis!");
}

bool WarnWindow::Event_KeyDown(const String& key) {
  if (key == Chr(27)) Close();
  return false;
}

Ref<PushButton> WarnWindow::DoButton(std::int32_t number) const {
  static const char* const names[] = {"Do1Btn", "Do2Btn", "Do3Btn", "Do4Btn"};
  return ControlByName<PushButton>(names[number - 1]);
}

void WarnWindow::Pressed(std::int32_t number) {
  Prefs_Modul::WarnWindowResult = number;
  Close();
}

void WarnWindow::Do1Btn_Action() { Pressed(1); }
void WarnWindow::Do2Btn_Action() { Pressed(2); }
void WarnWindow::Do3Btn_Action() { Pressed(3); }
void WarnWindow::Do4Btn_Action() { Pressed(4); }

std::int32_t WarnWindow::p_GetTextHeight(const String& text, std::int32_t lineHeight,
                                         std::int32_t charsPerLine) {
  try {
    // No row width means no estimate; dividing by it would not give a number.
    if (charsPerLine <= 0) throw RuntimeException("no characters per line");
    std::int32_t total = 0;
    const std::int32_t n = CountFields(text, EndOfLine());
    for (std::int32_t i = 1; i <= n; ++i) {
      const String line = NthField(text, EndOfLine(), i);
      const auto rows = static_cast<std::int32_t>(
          Ceil(static_cast<double>(Len(line)) / static_cast<double>(charsPerLine)));
      total += rows * lineHeight;
      RuntimeBackgroundTask();
    }
    return total;
  } catch (...) {
    UpdateProtocoll("EXception in String_GetTextHeight");
    return 0;
  }
}

void WarnWindow::InitWindow(std::int32_t defaultButton, const String& message,
                            const String& caption1, const String& caption2,
                            const String& caption3) {
  try {
    const std::int32_t h = p_GetTextHeight(message, 18, 45);
    if (MinHeight() < h + 45) {
      SetHeight(h + 45);
    } else {
      SetHeight(MinHeight());
    }
    Prefs_Modul::WarnWindowResult = -1;
    DoText()->SetText(message);
    const String* captions[] = {&caption1, &caption2, &caption3};
    for (std::int32_t k = 1; k <= 3; ++k) {
      if (!captions[k - 1]->IsEmpty()) {
        DoButton(k)->SetCaption(*captions[k - 1]);
        DoButton(k)->SetVisible(true);
      }
    }
    if (defaultButton >= 1 && defaultButton <= 3) DoButton(defaultButton)->SetDefault(true);
    Beep();
    ShowModal();
  } catch (...) {
    UpdateProtocoll("Exception in WarnWin: InitWindow");
  }
}

}  // namespace kolvane
