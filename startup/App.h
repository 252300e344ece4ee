// The application object, the menu bar and the start-up wiring.
#pragma once

#include <vector>

#include "platform/Application.h"
#include "platform/MenuBar.h"

namespace kolvane {

class App : public Application {
 public:
  // The Open event: the opening sequence.
  void Event_Open() override;
  // The About menu item: shows the About box modally.
  bool _AboutMenue_Action();
  // Shows the About box as a splash, loads the preferences, then shows the main window.
  void InitializeApplication();
};

// The menu bar: its items are those of its design, the About item and the standard Quit.
class Menu : public MenuBar {
 public:
  void Constructor() override {}
  std::vector<MenuItemDesign> Items() const override;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
// The registered application object.
Ref<class App> App();
// The one menu bar, made on first use.
Ref<class Menu> Menu();
#pragma GCC diagnostic pop

// The start-up wiring, run in this order before the event loop starts.
void _InitFileTypes();
void _NewAppInstance();
void _ApplicationAddMenuHandlers();

}  // namespace kolvane
