#include "Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <new>

#include "Application.h"
#include "Controls.h"
#include "Dialogs.h"
#include "MenuBar.h"
#include "Picture.h"
#include "QtText.h"
#include "X11.h"

namespace kolvane {

// ---- toolkit side

class ContentArea : public QWidget {
 public:
  ContentArea(Window* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}
  void Detach() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_) return;
    QPainter p(this);
    if (owner_->HasBackColor()) {
      const Color c = owner_->BackColor();
      p.fillRect(rect(), QColor(c.r, c.g, c.b));
    }
    if (const Ref<Picture> backdrop = owner_->Backdrop()) p.drawImage(0, 0, backdrop->Image());
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (owner_) owner_->HandleMouseDown(e->position().toPoint().x(), e->position().toPoint().y());
  }

 private:
  Window* owner_;
};

class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(Window* owner) : owner_(owner) {
    frameEnd_.setSingleShot(true);
    QObject::connect(&frameEnd_, &QTimer::timeout, this, [this] {
      QEvent paint(QEvent::UpdateRequest);
      QCoreApplication::sendEvent(this, &paint);
    });
  }
  void Detach() { owner_ = nullptr; }
  bool FrameOver() const { return std::chrono::steady_clock::now() - lastPaint_ >= kFrame; }
  // Paints what is waiting to be painted, ahead of the frame's end.
  void PaintNow() {
    frameEnd_.stop();
    lastPaint_ = std::chrono::steady_clock::now();
    QEvent paint(QEvent::UpdateRequest);
    QWidget::event(&paint);
  }

 protected:
  bool event(QEvent* e) override {
    // The window is painted at most once per display frame, since no one sees more: an
    // update asked for sooner waits for the frame's end, together with all asked for by
    // then. A run that shows progress after every file would otherwise spend its time
    // painting.
    if (e->type() == QEvent::UpdateRequest) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastPaint_ < kFrame) {
        if (!frameEnd_.isActive()) {
          const auto wait = std::chrono::ceil<std::chrono::milliseconds>(lastPaint_ + kFrame - now);
          frameEnd_.start(wait);
        }
        return true;
      }
      lastPaint_ = now;
    }
    return QWidget::event(e);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (!owner_) return;
    const bool isReturn = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    owner_->HandleKeyDown(KeyText(e), isReturn);
  }
  void closeEvent(QCloseEvent* e) override {
    // The title bar's close box: the window ends as when the program closes it.
    if (owner_ && owner_->IsOpen()) {
      std::shared_ptr<Window> keep = owner_->shared_from_this();
      keep->Close();
    }
    e->accept();
  }

 private:
  static String KeyText(const QKeyEvent* e) {
    switch (e->key()) {
      case Qt::Key_Escape: return Chr(27);
      case Qt::Key_Return: return Chr(13);
      case Qt::Key_Enter: return Chr(3);
      case Qt::Key_Tab: return Chr(9);
      case Qt::Key_Backspace: return Chr(8);
      case Qt::Key_Left: return Chr(28);
      case Qt::Key_Right: return Chr(29);
      case Qt::Key_Up: return Chr(30);
      case Qt::Key_Down: return Chr(31);
      default: return FromQString(e->text());
    }
  }
  static constexpr std::chrono::milliseconds kFrame{16};
  Window* owner_;
  QTimer frameEnd_;
  std::chrono::steady_clock::time_point lastPaint_{};
};

namespace {

std::vector<std::shared_ptr<Window>>& OpenWindows() {
  static std::vector<std::shared_ptr<Window>> windows;
  return windows;
}

// Follows the Escape key through every window of the application.
class EscapeTracker : public QObject {
 public:
  bool held = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
      const auto* k = static_cast<QKeyEvent*>(e);
      if (k->key() == Qt::Key_Escape) {
        if (e->type() == QEvent::KeyPress) held = true;
        else if (!k->isAutoRepeat()) held = false;
      }
    } else if (e->type() == QEvent::ApplicationStateChange) {
      // A release while another program has the keyboard never reaches us.
      if (QGuiApplication::applicationState() != Qt::ApplicationActive) held = false;
    }
    return QObject::eventFilter(watched, e);
  }
};

EscapeTracker* Tracker() {
  static EscapeTracker* tracker = nullptr;
  if (!tracker && qApp) {
    tracker = new EscapeTracker();
    tracker->setParent(qApp);
    qApp->installEventFilter(tracker);
  }
  return tracker;
}

const char* ExceptionClass(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const RuntimeException& r) {
    return r.ClassName();
  } catch (const std::bad_alloc&) {
    return "OutOfMemoryException";
  } catch (...) {
    return "RuntimeException";
  }
}

}  // namespace

void InitializeRuntime() {
  static bool done = false;
  if (done || !qApp) return;
  done = true;
  Tracker();
  if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);
  QFont font = QApplication::font();
  font.setPixelSize(12);
  QApplication::setFont(font);
}

void DispatchEvent(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    const char* name = ExceptionClass(std::current_exception());
    std::cerr << "Kolvane: unhandled " << name << " in an event handler\n";
    try {
      MsgBox(String("An exception of class ") + String(name) + String(" was not handled."));
    } catch (...) {
      Beep();
    }
  }
}

namespace {

// On X11 the server knows the key's state whichever program has the keyboard. A folder run
// asks before every item, so an answer is reused for a few milliseconds rather than paying
// a round trip per file; a held key is still seen at the next item.
bool EscapeOnTheServer() {
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kReuse{5};
  // After a pause the keys are looked up again, in case the keyboard was remapped.
  static constexpr std::chrono::seconds kPause{1};
  static Clock::time_point asked{};
  static bool down = false;
  const Clock::time_point now = Clock::now();
  if (now - asked >= kReuse) {
    down = x11::EscapeDown(now - asked >= kPause);
    asked = now;
  }
  return down;
}

}  // namespace

bool Keyboard::AsyncKeyDown(std::int32_t keyCode) {
  if (keyCode != 53) return false;
  if (x11::Available()) return EscapeOnTheServer();
  // Elsewhere (Wayland) no program may read the keyboard while another has it.
  const EscapeTracker* t = Tracker();
  return t && t->held;
}

void Beep() { QApplication::beep(); }

void ShowPendingUpdates() {
  PacedUpdate::RunWaiting();
  for (const auto& w : OpenWindows()) {
    if (auto* widget = static_cast<WindowWidget*>(w->Widget()); widget && widget->isVisible()) widget->PaintNow();
  }
}

// ---- Window

Window::Window() {
  InitializeRuntime();
  widget_ = std::make_unique<WindowWidget>(this);
  auto* layout = new QVBoxLayout(widget_.get());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  content_ = new ContentArea(this, widget_.get());
  content_->setObjectName("content");
  content_->setFixedSize(width_, height_);
  layout->addWidget(content_);
}

Window::~Window() {
  if (!widget_) return;
  static_cast<ContentArea*>(content_)->Detach();
  widget_->Detach();
  widget_->hide();
  // The widget may be inside one of its own events right now.
  widget_.release()->deleteLater();
}

QWidget* Window::Widget() const { return widget_.get(); }
QWidget* Window::ContentWidget() const { return content_; }

void Window::Constructor() {
  Layout();
  // Document windows carry the application's menu bar.
  if (design_.Int("Frame", 0) == 0 && design_.Bool("MenuBarVisible", true)) {
    if (const Ref<Application> app = _GetAppObject(); app && app->MenuBar()) SetMenuBar(app->MenuBar());
  }
  CreateControls();
  open_ = true;
  OpenWindows().push_back(shared_from_this());
  for (const Ref<Control>& c : controls_) c->Opened();
  DispatchEvent([this] { Event_Open(); });
}

Ref<Window> Window::_GetImplicitWindow(std::string_view className) {
  for (const auto& w : OpenWindows()) {
    if (w->ClassName() == className) return Ref<Window>(w);
  }
  return nullptr;
}

void Window::CloseAll() {
  const std::vector<std::shared_ptr<Window>> open = OpenWindows();
  for (const auto& w : open) w->Close();
}

void Window::Show() {
  if (!open_) return;
  if (!widget_->isVisible()) widget_->setWindowModality(Qt::NonModal);
  ShowWidget();
}

void Window::ShowModal() {
  ShowPendingUpdates();
  if (!open_) return;
  std::shared_ptr<Window> keep = shared_from_this();
  // Modality takes effect when a window is shown, so a window already on screen (the
  // splash) is shown again.
  if (widget_->isVisible() && !widget_->isModal()) widget_->hide();
  widget_->setWindowModality(Qt::ApplicationModal);
  ShowWidget();
  QEventLoop loop;
  modalLoops_.push_back(&loop);
  loop.exec();
  modalLoops_.erase(std::find(modalLoops_.begin(), modalLoops_.end(), &loop));
}

void Window::ShowWidget() {
  if (!everShown_) {
    everShown_ = true;
    widget_->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      widget_->move(area.center() - QPoint(widget_->width() / 2, widget_->height() / 2));
    }
  }
  // The offscreen platform has no stacking of windows to change.
  const bool stacked = QGuiApplication::platformName() != QLatin1String("offscreen");
  std::vector<QWidget*> splashes;
  if (stacked && design_.Int("Frame", 0) == 0) {
    for (const auto& w : OpenWindows()) {
      if (w->design_.Int("Frame", 0) == 2 && w->widget_->isVisible() && !w->widget_->isModal()) {
        splashes.push_back(w->widget_.get());
      }
    }
  }
  if (splashes.empty()) {
    widget_->show();
    if (stacked) widget_->raise();
  } else {
    // A splash (a frameless box shown without waiting for it) stays in front of a document
    // window opened while it is up. It goes above the new window before that is mapped, so
    // the new window is never seen over it...
    widget_->winId();
    widget_->raise();
    for (QWidget* splash : splashes) splash->raise();
    widget_->show();
    // ...and, once a window manager has the new window, becomes its transient, which window
    // managers keep above it.
    for (QWidget* splash : splashes) {
      x11::SetTransientFor(*splash, *widget_);
      splash->raise();
    }
  }
  widget_->activateWindow();
}

void Window::Close() {
  if (!open_) return;
  std::shared_ptr<Window> keep = shared_from_this();
  open_ = false;
  for (const Ref<Control>& c : controls_) c->Closed();
  // Closed, not only hidden: the last window closed ends the program.
  widget_->close();
  for (QEventLoop* loop : modalLoops_) loop->quit();
  auto& windows = OpenWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), keep), windows.end());
}

void Window::Refresh(bool) { content_->update(); }

void Window::UpdateNow() {
  // Paints what is waiting to be painted. Within a display frame of the last paint it
  // waits for the frame's end, as everything else does.
  if (!widget_->isVisible() || !widget_->FrameOver()) return;
  QEvent paint(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(widget_.get(), &paint);
}

String Window::Title() const { return design_.Text("Title"); }

void Window::SetTitle(const String& title) { ApplyProperty("Title", title); }

void Window::SetWidth(std::int32_t width) { ApplyProperty("Width", width); }
void Window::SetHeight(std::int32_t height) { ApplyProperty("Height", height); }
std::int32_t Window::MinWidth() const { return design_.Int("MinWidth", 64); }
std::int32_t Window::MinHeight() const { return design_.Int("MinHeight", 64); }
bool Window::HasBackColor() const { return design_.Bool("HasBackColor"); }

Color Window::BackColor() const {
  const PropValue* v = design_.Find("BackColor");
  return v && std::holds_alternative<Color>(*v) ? std::get<Color>(*v) : Color{255, 255, 255};
}

void Window::SetBackdrop(Ref<Picture> picture) {
  backdrop_ = std::move(picture);
  content_->update();
}

void Window::SetMenuBar(Ref<MenuBar> menu) {
  menuBar_ = std::move(menu);
  if (menuBar_ && design_.Int("Frame", 0) == 0) {
    static_cast<QVBoxLayout*>(widget_->layout())->setMenuBar(menuBar_->CreateWidget(widget_.get()));
  }
}

Ref<Control> Window::FindControl(std::string_view name) const {
  const auto it = controlsByName_.find(name);
  return it == controlsByName_.end() ? nullptr : it->second;
}

void Window::_SetProperties(const DesignBlock& block) {
  for (const auto& [name, value] : block) ApplyProperty(name, value);
}

void Window::ApplyProperty(std::string_view name, const PropValue& value) {
  design_.Set(name, value);
  if (name == "Title") {
    widget_->setWindowTitle(ToQString(std::get<String>(value)));
  } else if (name == "Width" || name == "Height") {
    const std::int32_t v = std::get<std::int32_t>(value);
    const std::int32_t dx = name == "Width" ? v - width_ : 0;
    const std::int32_t dy = name == "Height" ? v - height_ : 0;
    (name == "Width" ? width_ : height_) = v;
    content_->setFixedSize(width_, height_);
    ApplyLocks(dx, dy);
  } else if (name == "Frame" || name == "CloseButton" || name == "MinimizeButton" ||
             name == "MaximizeButton") {
    ApplyFlags();
  } else if (name == "HasBackColor" || name == "BackColor") {
    content_->update();
  }
}

void Window::ApplyFlags() {
  Qt::WindowFlags flags;
  switch (design_.Int("Frame", 0)) {
    case 2:  // modal dialog: no title bar
      flags = Qt::Dialog | Qt::FramelessWindowHint;
      break;
    case 1:  // movable modal: a dialog with a title bar
      flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      break;
    default:
      flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
      break;
  }
  if (design_.Int("Frame", 0) != 2) {
    if (design_.Bool("CloseButton")) flags |= Qt::WindowCloseButtonHint;
    if (design_.Bool("MinimizeButton")) flags |= Qt::WindowMinimizeButtonHint;
    if (design_.Bool("MaximizeButton")) flags |= Qt::WindowMaximizeButtonHint;
  }
  widget_->setWindowFlags(flags);
}

void Window::ApplyLocks(std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return;
  for (const Ref<Control>& c : controls_) {
    if (auto* r = dynamic_cast<RectControl*>(c.get())) r->FollowWindowResize(dx, dy);
  }
}

void Window::_AddControl(std::string_view name, const Ref<Control>& control) {
  control->Attach(*this, name, content_);
  controls_.push_back(control);
  controlsByName_.emplace(std::string(name), control);  // the first of a name is the one found
}

void Window::BindControlEvent(Control& control, std::string_view event, std::any handler) {
  if (!control.HasEvent(event)) {
    throw RuntimeException("control " + control.Name() + " has no event " + std::string(event));
  }
  control.handlers_[std::string(event)] = std::move(handler);
}

bool Window::Event_KeyDown(const String&) { return false; }
bool Window::Event_MouseDown(std::int32_t, std::int32_t) { return false; }

void Window::HandleKeyDown(const String& key, bool isReturn) {
  std::shared_ptr<Window> keep = shared_from_this();
  bool handled = false;
  DispatchEvent([&] { handled = Event_KeyDown(key); });
  if (handled || !open_ || !isReturn) return;
  for (const Ref<Control>& c : controls_) {
    if (auto* b = dynamic_cast<PushButton*>(c.get()); b && b->Default() && b->Visible()) {
      b->Push();
      return;
    }
  }
}

void Window::HandleMouseDown(std::int32_t x, std::int32_t y) {
  std::shared_ptr<Window> keep = shared_from_this();
  DispatchEvent([&] { Event_MouseDown(x, y); });
}

// ---- DesignValues

void DesignValues::Set(std::string_view name, const PropValue& value) {
  for (auto& [n, v] : values_) {
    if (n == name) {
      v = value;
      return;
    }
  }
  values_.emplace_back(std::string(name), value);
}

const PropValue* DesignValues::Find(std::string_view name) const {
  for (const auto& [n, v] : values_) {
    if (n == name) return &v;
  }
  return nullptr;
}

std::int32_t DesignValues::Int(std::string_view name, std::int32_t fallback) const {
  const PropValue* v = Find(name);
  return v && std::holds_alternative<std::int32_t>(*v) ? std::get<std::int32_t>(*v) : fallback;
}

bool DesignValues::Bool(std::string_view name, bool fallback) const {
  const PropValue* v = Find(name);
  return v && std::holds_alternative<bool>(*v) ? std::get<bool>(*v) : fallback;
}

String DesignValues::Text(std::string_view name) const {
  const PropValue* v = Find(name);
  return v && std::holds_alternative<String>(*v) ? std::get<String>(*v) : String();
}

}  // namespace kolvane
