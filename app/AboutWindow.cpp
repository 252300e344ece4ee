#include "AboutWindow.h"

#include "Pictures.h"
#include "platform/Application.h"

namespace kolvane {

Ref<class AboutWindow> AboutWindow() {
  return ImplicitInstance<class AboutWindow>("AboutWindow.AboutWindow");
}

void AboutWindow::Layout() {
  SetBackdrop(about());
  _SetProperties({
      {"Placement", 0},
      {"Width", 499},
      {"Height", 165},
      {"MinWidth", 64},
      {"MinHeight", 64},
      {"MaxWidth", 32000},
      {"MaxHeight", 32000},
      {"Frame", 2},
      {"Composite", false},
      {"HasBackColor", false},
      {"Title", String("About Kolvane")},
      {"Visible", true},
      {"FullScreen", false},
      {"MenuBarVisible", true},
      {"CloseButton", false},
      {"Resizeable", false},
      {"LiveResize", false},
      {"MaximizeButton", false},
      {"MinimizeButton", false},
      {"MacProcID", 0},
  });
}

void AboutWindow::CreateControls() { _CreateControls0(); }

void AboutWindow::_CreateControls0() {
  const Ref<CloseTimer> timer = New<CloseTimer>();
  _AddControl("CloseTimer", timer);
  timer->_SetProperties({{"Mode", 1}, {"Period", 3000}});
  _InstallInstanceEventHandler(timer, "Action", &AboutWindow::CloseTimer_Action);

  const Ref<StaticText> label = New<StaticText>();
  _AddControl("StaticText3", label);
  label->SetTextSize(11);
  label->SetTextUnit(0);
  label->_SetProperties({
      {"Index", -2147483647 - 1},
      {"Left", 369},
      {"Top", 78},
      {"Width", 42},
      {"Height", 16},
      {"LockLeft", true},
      {"LockTop", true},
      {"LockRight", false},
      {"LockBottom", false},
      {"TabPanelIndex", 0},
      {"TabIndex", 1},
      {"Text", String("v.1.0")},
      {"TextAlign", 2},
      {"TextColor", RGB(246, 246, 246)},
      {"Multiline", false},
      {"Enabled", true},
      {"Visible", true},
      {"HelpTag", String()},
      {"AutoDeactivate", true},
      {"TextFont", String("Arial")},
      {"Bold", true},
      {"Italic", false},
      {"Underline", false},
      {"DataSource", String()},
      {"DataField", String()},
      {"InitialParent", String()},
  });
  _InstallInstanceEventHandler(label, "Open", &AboutWindow::StaticText3_Open);
}

void AboutWindow::StaticText3_Open() {
  ControlByName<StaticText>("StaticText3")->SetText("v." + _GetAppObject()->LongVersion());
}

void AboutWindow::CloseTimer_Action() {
  ControlByName<Timer>("CloseTimer")->SetMode(0);
  Close();
}

bool AboutWindow::Event_MouseDown(std::int32_t, std::int32_t) {
  Close();
  return false;
}

}  // namespace kolvane
