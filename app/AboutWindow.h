// The About box: the backdrop picture with the version on it. It closes itself 3000 ms
// after it was created, or at a click.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/Window.h"

namespace kolvane {

class AboutWindow : public Window {
 public:
  // The box's single-shot timer; nothing of its own beyond being the box's.
  class CloseTimer : public Timer {};

  const char* ClassName() const override { return "AboutWindow.AboutWindow"; }

  void CloseTimer_Action();
  void StaticText3_Open();

 protected:
  void Layout() override;
  void CreateControls() override;
  bool Event_MouseDown(std::int32_t x, std::int32_t y) override;

 private:
  void _CreateControls0();
};

// The open About box, or a new one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
Ref<class AboutWindow> AboutWindow();
#pragma GCC diagnostic pop

}  // namespace kolvane
