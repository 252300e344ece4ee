#include "Application.h"

#include <QApplication>
#include <QFile>

namespace kolvane {
namespace {
Ref<Application>& AppObject() {
  static Ref<Application> app;
  return app;
}
}  // namespace

void Application::_AddMenuHandler(const String& itemName, std::function<bool()> handler) {
  menuHandlers_[itemName.Bytes()] = std::move(handler);
}

bool Application::HandleMenuItem(const String& itemName) {
  const auto it = menuHandlers_.find(itemName.Bytes());
  if (it == menuHandlers_.end()) return false;
  const std::function<bool()> handler = it->second;
  handler();
  return true;
}

String Application::ShortVersion() const { return String(KOLVANE_SHORT_VERSION); }
String Application::LongVersion() const { return String(KOLVANE_LONG_VERSION); }

Ref<FolderItem> Application::ExecutableFile() const {
  if (!qApp) return nullptr;
  return New<FolderItem>(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
}

void _RuntimeRegisterAppObject(Ref<Application> app) {
  AppObject() = std::move(app);
  SetMenuItemDispatcher([](const String& name) {
    if (name == MenuBar::QuitItemName()) {
      Quit(0);
      return;
    }
    if (const Ref<Application> a = AppObject()) a->HandleMenuItem(name);
  });
}

Ref<Application> _GetAppObject() { return AppObject(); }

void Quit(std::int32_t code) {
  if (qApp) QCoreApplication::exit(code);
}

Ref<FolderItem> _GetApplicationBundleResources() {
  const Ref<FolderItem> executable = _GetAppObject() ? _GetAppObject()->ExecutableFile() : nullptr;
  if (!executable) return nullptr;
  const Ref<FolderItem> bin = executable->Parent();
  if (!bin || !bin->Parent()) return nullptr;
  return bin->Parent()->Child("Resources");
}

}  // namespace kolvane
