#include "MenuBar.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "QtText.h"
#include "Window.h"

namespace kolvane {
namespace {
std::function<void(const String&)>& Dispatcher() {
  static std::function<void(const String&)> dispatcher;
  return dispatcher;
}
}  // namespace

const String& MenuBar::QuitItemName() {
  static const String name("FileQuit");
  return name;
}

std::vector<MenuItemDesign> MenuBar::Items() const {
  return {MenuItemDesign{"File", "Quit", QuitItemName(), "Ctrl+Q"}};
}

QMenuBar* MenuBar::CreateWidget(QWidget* parent) const {
  auto* bar = new QMenuBar(parent);
  for (const MenuItemDesign& item : Items()) {
    QMenu* menu = nullptr;
    const QString title = ToQString(item.menu);
    for (QAction* a : bar->actions()) {
      if (a->menu() && a->text() == title) menu = a->menu();
    }
    if (!menu) menu = bar->addMenu(title);
    QAction* action = menu->addAction(ToQString(item.text));
    if (!item.shortcut.IsEmpty()) action->setShortcut(QKeySequence(ToQString(item.shortcut)));
    const String name = item.name;
    QObject::connect(action, &QAction::triggered, [name] { DispatchMenuItem(name); });
  }
  return bar;
}

void SetMenuItemDispatcher(std::function<void(const String& name)> dispatcher) {
  Dispatcher() = std::move(dispatcher);
}

void DispatchMenuItem(const String& name) {
  if (Dispatcher()) DispatchEvent([&] { Dispatcher()(name); });
}

}  // namespace kolvane
