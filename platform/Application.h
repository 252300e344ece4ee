// The application object, its menu handlers and versions, and the program's run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "FolderItem.h"
#include "MenuBar.h"
#include "Runtime.h"
#include "String.h"

namespace kolvane {

class Application {
 public:
  Application() = default;
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Raised once, as the event loop starts.
  virtual void Event_Open() {}

  Ref<kolvane::MenuBar> MenuBar() const { return menuBar_; }
  void SetMenuBar(Ref<kolvane::MenuBar> menu) { menuBar_ = std::move(menu); }

  // Binds a handler to a menu item's name; choosing the item calls it.
  void _AddMenuHandler(const String& itemName, std::function<bool()> handler);
  // Runs the handler bound to the item; False when there is none.
  bool HandleMenuItem(const String& itemName);

  String ShortVersion() const;
  String LongVersion() const;
  virtual Ref<FolderItem> ExecutableFile() const;

 private:
  Ref<kolvane::MenuBar> menuBar_;
  std::map<std::string, std::function<bool()>> menuHandlers_;
};

void _RuntimeRegisterAppObject(Ref<Application> app);
// The registered application object, or none.
Ref<Application> _GetAppObject();

// Ends the event loop.
void Quit(std::int32_t code = 0);

// The bundle's Resources folder: the child "Resources" of the folder above the folder
// that holds the executable.
Ref<FolderItem> _GetApplicationBundleResources();

}  // namespace kolvane
