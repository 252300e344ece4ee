// Windows built from design data, and the framework's event dispatch.
//
// A window is built by Constructor(): Layout() applies the window's design block,
// CreateControls() creates each control in order, adds it under its name, applies its
// design block and binds its events by event name to the window's methods; then the
// controls' Open events run, then the window's own Open event. Code reaches a control
// only by name; a name the window does not have raises the nil-object error.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Design.h"
#include "Runtime.h"
#include "String.h"

class QWidget;
class QEventLoop;

namespace kolvane {

class Control;
class Picture;
class MenuBar;
class WindowWidget;
class ContentArea;

// Runs an event handler. An exception that leaves it is the framework's to report: it
// never unwinds into the toolkit's event loop.
void DispatchEvent(const std::function<void()>& handler);

class Window : public std::enable_shared_from_this<Window> {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The class name the window's implicit instance is registered under.
  virtual const char* ClassName() const = 0;

  // Builds and opens the window: Layout, CreateControls, the Open events.
  void Constructor();

  void Show();
  // Shows the window modally; returns when it has closed.
  void ShowModal();
  void Close();
  bool IsOpen() const { return open_; }
  // Repaints soon; with UpdateNow, at once. Either way the window is painted at most once
  // per display frame: a repaint asked for sooner comes at the frame's end.
  void Refresh(bool eraseBackground = true);
  void UpdateNow();

  String Title() const;
  void SetTitle(const String& title);
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  void SetWidth(std::int32_t width);
  void SetHeight(std::int32_t height);
  std::int32_t MinWidth() const;
  std::int32_t MinHeight() const;
  bool HasBackColor() const;
  Color BackColor() const;
  Ref<Picture> Backdrop() const { return backdrop_; }
  void SetBackdrop(Ref<Picture> picture);
  void SetMenuBar(Ref<MenuBar> menu);

  // The design value a window property was given, for code that asks after it.
  const DesignValues& Design() const { return design_; }

  // The control of that name, as the class asked for; raises the nil-object error when
  // the window has no such control or it is of another class.
  template <class T>
  Ref<T> ControlByName(std::string_view name) const {
    Ref<T> c = RefCast<T>(FindControl(name));
    if (!c) throw NilObjectException("no control " + std::string(name));
    return c;
  }
  Ref<Control> FindControl(std::string_view name) const;
  const std::vector<Ref<Control>>& Controls() const { return controls_; }

  // The open window registered under the class name, or none.
  static Ref<Window> _GetImplicitWindow(std::string_view className);
  // Closes every open window, as the program ends.
  static void CloseAll();

  // Toolkit side, for the platform layer and for tests that drive windows as a user would.
  QWidget* Widget() const;
  QWidget* ContentWidget() const;

  // Called by the toolkit side.
  void HandleKeyDown(const String& key, bool isReturn);
  void HandleMouseDown(std::int32_t x, std::int32_t y);

 protected:
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void Event_Open() {}
  // Return True when the key was handled; False lets the framework go on (Return
  // presses the default button).
  virtual bool Event_KeyDown(const String& key);
  virtual bool Event_MouseDown(std::int32_t x, std::int32_t y);

  void _SetProperties(const DesignBlock& block);
  // Adds a control to the window under a name, ready for its design block.
  void _AddControl(std::string_view name, const Ref<Control>& control);

  // Binds a control's event of that name to a method of this window.
  template <class W, class... Args>
  void _InstallInstanceEventHandler(const Ref<Control>& control, std::string_view event,
                                    void (W::*handler)(Args...));

 private:
  friend class Control;
  void ApplyProperty(std::string_view name, const PropValue& value);
  void ApplyFlags();
  void ApplyLocks(std::int32_t dx, std::int32_t dy);
  void BindControlEvent(Control& control, std::string_view event, std::any handler);
  void ShowWidget();

  std::unique_ptr<WindowWidget> widget_;
  QWidget* content_ = nullptr;
  DesignValues design_;
  std::vector<Ref<Control>> controls_;
  // A run looks controls up by name for every file.
  std::map<std::string, Ref<Control>, std::less<>> controlsByName_;
  Ref<Picture> backdrop_;
  Ref<MenuBar> menuBar_;
  std::int32_t width_ = 100;
  std::int32_t height_ = 100;
  bool open_ = false;
  bool everShown_ = false;
  std::vector<QEventLoop*> modalLoops_;
};

// The open window of class W, or a new one built and opened.
template <class W>
Ref<W> ImplicitInstance(std::string_view className) {
  if (Ref<W> open = RefCast<W>(Window::_GetImplicitWindow(className))) return open;
  Ref<W> w = New<W>();
  w->Constructor();
  return w;
}

template <class W, class... Args>
void Window::_InstallInstanceEventHandler(const Ref<Control>& control, std::string_view event,
                                          void (W::*handler)(Args...)) {
  std::weak_ptr<Window> self = weak_from_this();
  std::function<void(Args...)> delegate = [self, handler](Args... args) {
    // The window stays alive while its handler runs, even if the handler closes it.
    std::shared_ptr<Window> keep = self.lock();
    if (!keep) return;
    (static_cast<W*>(keep.get())->*handler)(args...);
  };
  BindControlEvent(*control, event, std::any(std::move(delegate)));
}

// Shows at once what is still waiting for the display frame's end: the controls' texts
// and values and the windows' paints. A dialog opening over a window, or the end of a run,
// must find the screen current.
void ShowPendingUpdates();

void Beep();

// The keyboard's live state.
struct Keyboard {
  // Whether the key with this virtual key code is held down now. Only Escape (53) is
  // followed; every other code answers False. On X11 the server tells, whichever program
  // has the keyboard; elsewhere the key events the application receives do.
  static bool AsyncKeyDown(std::int32_t keyCode);
};

// Sets up what the runtime needs once a QApplication exists: the key tracking, the look.
void InitializeRuntime();

}  // namespace kolvane
