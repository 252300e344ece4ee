#include "App.h"

#include "app/AboutWindow.h"
#include "app/FileTypes.h"
#include "app/Prefs_Modul.h"
#include "ui/MainWindow.h"

namespace kolvane {

namespace {
Ref<class Menu> menuImplicitInstance;
}  // namespace

Ref<class App> App() { return RefCast<class App>(_GetAppObject()); }

Ref<class Menu> Menu() {
  if (!menuImplicitInstance) {
    menuImplicitInstance = New<class Menu>();
    menuImplicitInstance->Constructor();
  }
  return menuImplicitInstance;
}

std::vector<MenuItemDesign> Menu::Items() const {
  std::vector<MenuItemDesign> items = MenuBar::Items();
  items.push_back({"Help", "About Kolvane", "AboutMenue", ""});
  return items;
}

void _InitFileTypes() { FileTypes::_Initialize(); }

void _NewAppInstance() {
  const Ref<class App> app = New<class App>();
  app->SetMenuBar(Menu());
  _RuntimeRegisterAppObject(app);
}

void _ApplicationAddMenuHandlers() {
  const Ref<class App> app = App();
  std::weak_ptr<class App> weak = app.Shared();
  app->_AddMenuHandler("AboutMenue", [weak]() -> bool {
    const std::shared_ptr<class App> a = weak.lock();
    return a ? a->_AboutMenue_Action() : false;
  });
}

void App::Event_Open() { InitializeApplication(); }

void App::InitializeApplication() {
  try {
    AboutWindow()->Show();
    if (!Prefs_Initialize()) return;
    MainWindow()->Show();
  } catch (...) {
    UpdateProtocoll("Exception in InitApp");
  }
}

bool App::_AboutMenue_Action() {
  AboutWindow()->ShowModal();
  return false;
}

}  // namespace kolvane
