// The controls a window is built from.
//
// Each control keeps the state the program reads and writes (texts, values, enabled
// and visible flags) and mirrors it in a Qt widget placed at the design's pixel position
// in the window's content area; controls on a tab page are positioned in window
// coordinates like all others and shown only while their page is in front.
#pragma once

#include <any>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "Design.h"
#include "Runtime.h"
#include "String.h"
#include "Window.h"

class QWidget;
class QTimer;

namespace kolvane {

class FolderItem;
class Picture;
class TabPanel;

class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Window* Owner() const { return owner_; }
  // The toolkit widget, or nullptr for a control without one (a timer).
  QWidget* Widget() const { return widget_.data(); }

  // Applies a design block, in order.
  void _SetProperties(const DesignBlock& block);
  const DesignValues& Design() const { return design_; }

  // The events a control of this kind raises, by name.
  virtual bool HasEvent(std::string_view event) const { return event == "Open"; }

 protected:
  friend class Window;
  // Creates the toolkit widget as a child of parent (nullptr: none).
  virtual QWidget* CreateWidget(QWidget* parent) = 0;
  // Applies one design value the control understands; others are only kept.
  virtual void ApplyProperty(std::string_view name, const PropValue& value);
  virtual void AfterDesign() {}
  // The window has opened (raise Open) or closed.
  virtual void Opened();
  virtual void Closed() {}

  // Runs the handler bound to the event, if any.
  template <class... Args>
  void Raise(std::string_view event, Args... args) {
    const auto it = handlers_.find(event);
    if (it == handlers_.end()) return;
    const auto* f = std::any_cast<std::function<void(Args...)>>(&it->second);
    if (!f) return;
    const std::function<void(Args...)> handler = *f;
    DispatchEvent([&] { handler(args...); });
  }

  QWidget* RequireWidget() const;

 private:
  void Attach(Window& owner, std::string_view name, QWidget* parent);

  std::string name_;
  Window* owner_ = nullptr;
  QPointer<QWidget> widget_;
  DesignValues design_;
  std::map<std::string, std::any, std::less<>> handlers_;
};

// Brings a widget up to date with its control at most once per display frame while it is
// on screen, as no one sees more: an update asked for sooner comes at the frame's end, so
// the last state always shows. A run that reports every file would otherwise spend its
// time in the toolkit.
class PacedUpdate {
 public:
  explicit PacedUpdate(std::function<void()> update);
  ~PacedUpdate();
  PacedUpdate(const PacedUpdate&) = delete;
  PacedUpdate& operator=(const PacedUpdate&) = delete;

  void Request(const QWidget* widget);
  // Brings every widget still waiting for its frame's end up to date now.
  static void RunWaiting();

 private:
  void Run();
  std::function<void()> update_;
  std::unique_ptr<QTimer> frameEnd_;
  std::chrono::steady_clock::time_point last_{};
};

// A control with a rectangle in the window.
class RectControl : public Control {
 public:
  std::int32_t Left() const { return left_; }
  std::int32_t Top() const { return top_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // The page of a tab panel the control lies on (1-based), 0 on the window.
  std::int32_t TabPanelIndex() const { return tabPanelIndex_; }

  void SetTextSize(float size);
  void SetTextUnit(std::int32_t unit);
  float TextSize() const { return textSize_; }

  // Lets files of the registered type of that name, and folders, be dropped here.
  void AcceptFileDrop(const String& typeName);
  const std::vector<String>& AcceptedFileTypes() const { return acceptedTypes_; }

  // Moves the control as its locks ask when the window grows by dx, dy.
  void FollowWindowResize(std::int32_t dx, std::int32_t dy);
  // Shown on screen: visible, and its page in front when it lies on a tab panel.
  void UpdateShown();

 protected:
  void ApplyProperty(std::string_view name, const PropValue& value) override;
  void AfterDesign() override;
  void ApplyFont();
  virtual void OnAcceptFileDrop() {}

 private:
  void Place();

  TabPanel* panel_ = nullptr;  // the panel whose page the control lies on

  std::int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool enabled_ = true;
  bool visible_ = true;
  bool lockLeft_ = true, lockTop_ = true, lockRight_ = false, lockBottom_ = false;
  std::int32_t tabPanelIndex_ = 0;
  float textSize_ = 0;
  std::vector<String> acceptedTypes_;
};

class StaticText : public RectControl {
 public:
  StaticText();
  String Text() const { return text_; }
  void SetText(const String& text);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  String text_;
  PacedUpdate shown_;
};

class PushButton : public RectControl {
 public:
  String Caption() const { return caption_; }
  void SetCaption(const String& caption);
  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  bool Cancel() const { return cancel_; }
  bool HasEvent(std::string_view event) const override;
  // Presses the button as a click would: nothing happens while it is disabled.
  void Push();

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  String caption_;
  bool default_ = false;
  bool cancel_ = false;
};

class BevelButton : public RectControl {
 public:
  String Caption() const { return caption_; }
  void SetCaption(const String& caption);
  Ref<Picture> Icon() const { return icon_; }
  void SetIcon(Ref<Picture> icon);
  bool HasEvent(std::string_view event) const override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  String caption_;
  Ref<Picture> icon_;
};

class ProgressBar : public RectControl {
 public:
  ProgressBar();
  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value);
  std::int32_t Maximum() const { return maximum_; }
  void SetMaximum(std::int32_t maximum);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  void Show();
  std::int32_t value_ = 0;
  std::int32_t maximum_ = 100;
  PacedUpdate shown_;
};

class DragItem;

class TabPanel : public RectControl {
 public:
  ~TabPanel() override;
  // The page in front, from 0.
  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value);
  std::int32_t PageCount() const { return static_cast<std::int32_t>(pages_.size()); }
  String PageCaption(std::int32_t index) const;
  bool HasEvent(std::string_view event) const override;

  // The toolkit side hands a drop here.
  void Drop(Ref<DragItem> item, std::int32_t action);
  // Whether a drop whose first item is this local file or folder would be taken.
  bool Accepts(const std::string& path) const;
  void AddPageControl(RectControl* control);

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  void ShowPage();
  std::int32_t value_ = 0;
  std::vector<String> pages_;
  std::vector<RectControl*> pageControls_;
};

class PopupMenu : public RectControl {
 public:
  void AddRow(const String& text);
  std::int32_t ListCount() const { return static_cast<std::int32_t>(rows_.size()); }
  String List(std::int32_t row) const;
  // The selected row, from 0; -1 when none is.
  std::int32_t ListIndex() const { return listIndex_; }
  void SetListIndex(std::int32_t row);
  // The selected row's text, or empty when none is selected.
  String Text() const;
  bool HasEvent(std::string_view event) const override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  std::vector<String> rows_;
  std::int32_t listIndex_ = -1;
};

class CheckBox : public RectControl {
 public:
  String Caption() const { return caption_; }
  bool Value() const { return value_; }
  void SetValue(bool value);
  bool HasEvent(std::string_view event) const override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  String caption_;
  bool value_ = false;
};

class TextField : public RectControl {
 public:
  String Text() const { return text_; }
  void SetText(const String& text);
  bool ReadOnly() const { return readOnly_; }
  bool HasEvent(std::string_view event) const override;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;

 private:
  String text_;
  bool readOnly_ = false;
};

class Timer : public Control {
 public:
  Timer();
  ~Timer() override;
  // 0 off, 1 once after Period, 2 every Period.
  std::int32_t Mode() const { return mode_; }
  void SetMode(std::int32_t mode);
  std::int32_t Period() const { return period_; }
  void SetPeriod(std::int32_t period);
  bool HasEvent(std::string_view event) const override;
  bool IsRunning() const;

 protected:
  QWidget* CreateWidget(QWidget* parent) override;
  void ApplyProperty(std::string_view name, const PropValue& value) override;
  void Opened() override;
  void Closed() override;

 private:
  void Arm();
  std::unique_ptr<QTimer> timer_;
  std::int32_t mode_ = 2;
  std::int32_t period_ = 1000;
  bool armed_ = false;  // only an open window's timers run
};

// What was dropped: the first item's file or folder.
class DragItem {
 public:
  explicit DragItem(Ref<kolvane::FolderItem> item) : item_(std::move(item)) {}
  Ref<kolvane::FolderItem> FolderItem() const { return item_; }

 private:
  Ref<kolvane::FolderItem> item_;
};

}  // namespace kolvane
