// The notice dialog: a message and up to three buttons, sized to the message, shown
// modally. The pressed button's number is left in Prefs_Modul::WarnWindowResult.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/Window.h"

namespace kolvane {

class WarnWindow : public Window {
 public:
  const char* ClassName() const override { return "WarnWindow.WarnWindow"; }

  // Shows the notice and returns when it has closed. Buttons 1 to 3 are shown when their
  // captions are not empty; defaultButton (1 to 3) names the one Return presses.
  void InitWindow(std::int32_t defaultButton, const String& message, const String& caption1,
                  const String& caption2, const String& caption3);

  void Do1Btn_Action();
  void Do2Btn_Action();
  void Do3Btn_Action();
  void Do4Btn_Action();

 protected:
  void Layout() override;
  void CreateControls() override;
  void Event_Open() override;
  bool Event_KeyDown(const String& key) override;

  // An estimate of the message's height in pixels: each line's characters, in rows of
  // charsPerLine, times lineHeight.
  std::int32_t p_GetTextHeight(const String& text, std::int32_t lineHeight, std::int32_t charsPerLine);

 private:
  void _CreateControls0();
  void Pressed(std::int32_t number);
  Ref<StaticText> DoText() const { return ControlByName<StaticText>("DoText"); }
  Ref<PushButton> DoButton(std::int32_t number) const;
};

// The open notice dialog, or a new one. Named like its class, as every window's
// accessor is; the class is then named "class WarnWindow".
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
Ref<class WarnWindow> WarnWindow();
#pragma GCC diagnostic pop

}  // namespace kolvane
