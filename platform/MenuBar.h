// The application's menu bar.
#pragma once

#include <functional>
#include <vector>

#include "String.h"

class QMenuBar;
class QWidget;

namespace kolvane {

// One item of a menu bar's design: the menu it sits in, its caption, the name its
// handler is registered under, and its shortcut.
struct MenuItemDesign {
  String menu;
  String text;
  String name;
  String shortcut;
};

class MenuBar {
 public:
  virtual ~MenuBar() = default;
  virtual void Constructor() {}
  // The items of the bar's design. The framework's own bar holds the standard Quit.
  virtual std::vector<MenuItemDesign> Items() const;

  // A menu bar widget for a window; choosing an item runs its handler by name.
  QMenuBar* CreateWidget(QWidget* parent) const;

  // The name of the standard Quit item.
  static const String& QuitItemName();
};

// Where chosen menu items go: the application object's handlers, set up by the runtime.
void SetMenuItemDispatcher(std::function<void(const String& name)> dispatcher);
void DispatchMenuItem(const String& name);

}  // namespace kolvane
