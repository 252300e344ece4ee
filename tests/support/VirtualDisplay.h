// A virtual X display (Xvfb) on which the real program's windows are seen and worked from
// outside, as a user and the X server see them.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace kolvane::test {

// A window at the top of the display: a child of its root window.
struct TopLevel {
  std::uint32_t id = 0;
  std::string name;  // _NET_WM_NAME, else WM_NAME
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
};

class VirtualDisplay {
 public:
  // Keys do not repeat on it, so a key a test holds down is pressed once.
  VirtualDisplay();
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Whether Xvfb, xwininfo and xdotool are here and the display runs.
  bool Available() const { return connection_ != nullptr; }
  const QString& Name() const { return name_; }

  // The top-level windows, bottom of the stack first.
  std::vector<TopLevel> TopLevels() const;
  // The first viewable top-level window that matches, or none.
  std::optional<TopLevel> Shown(const std::function<bool(const TopLevel&)>& match) const;

  // Runs an X client on the display and returns what it printed.
  QString Run(const QString& program, const QStringList& arguments) const;
  // Gives the window the keyboard; returns whether it has it then.
  bool Focus(std::uint32_t window) const;
  std::uint32_t Focused() const;
  // xdotool's key, keydown and keyup, into whichever window has the keyboard.
  void Key(const QString& keys) const { Run("xdotool", {"key", keys}); }
  void KeyDown(const QString& key) const { Run("xdotool", {"keydown", key}); }
  void KeyUp(const QString& key) const { Run("xdotool", {"keyup", key}); }
  void TypeText(const QString& text) const { Run("xdotool", {"type", "--delay", "20", text}); }
  // Whether no program holds the pointer grabbed.
  bool PointerFree() const;
  // A click of the left button at a point of the screen, once no program holds the pointer.
  void Click(int x, int y) const;

 private:
  QProcess server_;
  QString name_;
  xcb_connection_t* connection_ = nullptr;
};

// Follows the stacking of the display's top-level windows from the X server's
// notifications. They queue up until read, so no moment is missed however slowly the
// test runs.
class StackingLog {
 public:
  explicit StackingLog(const VirtualDisplay& display);
  ~StackingLog();
  StackingLog(const StackingLog&) = delete;
  StackingLog& operator=(const StackingLog&) = delete;

  // Takes in the notifications that have arrived, calling after with the stack (bottom
  // first) as it stood after each.
  void Read(const std::function<void(const std::vector<TopLevel>&)>& after);

 private:
  void Raise(std::uint32_t window, std::uint32_t above);
  std::vector<TopLevel>::iterator Find(std::uint32_t window);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::vector<TopLevel> stack_;
};

}  // namespace kolvane::test
