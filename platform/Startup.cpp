#include "Startup.h"

#include <QApplication>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Application.h"
#include "Window.h"

namespace kolvane {
namespace {

constexpr const char* kNoDisplay =
    "Kolvane needs a graphical desktop: no display was found (DISPLAY and WAYLAND_DISPLAY are not set).\n";

bool HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// A display that is named but cannot be reached makes the toolkit give up; say so
// plainly instead of aborting with a core dump.
void ReportFatal(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return;
  }
  std::fprintf(stderr, "Kolvane cannot start: %s\n", qPrintable(message.section('\n', 0, 0)));
  std::_Exit(1);
}

// When no window carries the menu bar (the main window did not open), a small window
// of the application's own keeps About and Quit within reach.
std::unique_ptr<QWidget> menuWindow;

void KeepMenuReachable() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->findChild<QMenuBar*>()) return;
  }
  const Ref<Application> app = _GetAppObject();
  if (!app || !app->MenuBar()) return;
  menuWindow = std::make_unique<QWidget>();
  menuWindow->setObjectName("menuWindow");
  menuWindow->setWindowTitle("Kolvane");
  auto* layout = new QVBoxLayout(menuWindow.get());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setMenuBar(app->MenuBar()->CreateWidget(menuWindow.get()));
  menuWindow->setMinimumWidth(280);
  menuWindow->show();
}

}  // namespace

int RunApplication(int argc, char** argv, const std::function<void()>& startupWiring) {
  if (!HasDisplay()) {
    std::fputs(kNoDisplay, stderr);
    return 1;
  }
  qInstallMessageHandler(ReportFatal);
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("Kolvane");
  InitializeRuntime();

  // An exception that leaves the start-up wiring is reported, then the program ends.
  bool wired = false;
  DispatchEvent([&] {
    startupWiring();
    wired = true;
  });
  if (!wired) return 1;

  QTimer::singleShot(0, [] {
    if (const Ref<Application> app = _GetAppObject()) DispatchEvent([&] { app->Event_Open(); });
    KeepMenuReachable();
  });
  const int code = QApplication::exec();

  // Windows go while the toolkit they live in is still there.
  Window::CloseAll();
  menuWindow.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return code;
}

}  // namespace kolvane
