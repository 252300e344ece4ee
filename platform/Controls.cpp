#include "Controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <cmath>
#include <optional>

#include "FileType.h"
#include "FolderItem.h"
#include "Picture.h"
#include "QtText.h"

namespace kolvane {
namespace {

const String& TextOf(const PropValue& v) { return std::get<String>(v); }
std::int32_t IntOf(const PropValue& v) { return std::get<std::int32_t>(v); }
bool BoolOf(const PropValue& v) { return std::get<bool>(v); }

}  // namespace

// ---- Control

Control::~Control() = default;

void Control::Attach(Window& owner, std::string_view name, QWidget* parent) {
  owner_ = &owner;
  name_ = std::string(name);
  widget_ = CreateWidget(parent);
  if (widget_) widget_->setObjectName(QString::fromStdString(name_));
}

void Control::_SetProperties(const DesignBlock& block) {
  for (const auto& [name, value] : block) {
    design_.Set(name, value);
    ApplyProperty(name, value);
  }
  AfterDesign();
}

void Control::ApplyProperty(std::string_view, const PropValue&) {}

void Control::Opened() { Raise("Open"); }

QWidget* Control::RequireWidget() const {
  if (!widget_) throw NilObjectException("control " + name_ + " has no widget");
  return widget_.data();
}

// ---- PacedUpdate

namespace {
constexpr std::chrono::milliseconds kFrame{16};

std::vector<PacedUpdate*>& Waiting() {
  static std::vector<PacedUpdate*> waiting;
  return waiting;
}
}  // namespace

PacedUpdate::PacedUpdate(std::function<void()> update) : update_(std::move(update)) {}

PacedUpdate::~PacedUpdate() { std::erase(Waiting(), this); }

void PacedUpdate::RunWaiting() {
  const std::vector<PacedUpdate*> waiting = Waiting();
  for (PacedUpdate* p : waiting) p->Run();
}

void PacedUpdate::Request(const QWidget* widget) {
  if (frameEnd_ && frameEnd_->isActive()) return;  // the frame's end brings it
  const auto now = std::chrono::steady_clock::now();
  if (!widget->isVisible() || now - last_ >= kFrame) {
    Run();
    return;
  }
  if (!frameEnd_) {
    frameEnd_ = std::make_unique<QTimer>();
    frameEnd_->setSingleShot(true);
    QObject::connect(frameEnd_.get(), &QTimer::timeout, frameEnd_.get(), [this] { Run(); });
  }
  frameEnd_->start(std::chrono::ceil<std::chrono::milliseconds>(last_ + kFrame - now));
  Waiting().push_back(this);
}

void PacedUpdate::Run() {
  if (frameEnd_) frameEnd_->stop();
  std::erase(Waiting(), this);
  last_ = std::chrono::steady_clock::now();
  update_();
}

// ---- RectControl

void RectControl::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Place();
}

void RectControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (QWidget* w = Widget()) w->setEnabled(enabled);
}

void RectControl::SetVisible(bool visible) {
  visible_ = visible;
  UpdateShown();
}

void RectControl::SetTextSize(float size) {
  textSize_ = size;
  ApplyFont();
}

// Unit 0 is the framework's default: sizes in pixels, as a point was on the original
// screens.
void RectControl::SetTextUnit(std::int32_t) {}

void RectControl::AcceptFileDrop(const String& typeName) {
  acceptedTypes_.push_back(typeName);
  RequireWidget()->setAcceptDrops(true);
  OnAcceptFileDrop();
}

void RectControl::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Left") {
    left_ = IntOf(v);
    Place();
  } else if (name == "Top") {
    top_ = IntOf(v);
    Place();
  } else if (name == "Width") {
    width_ = IntOf(v);
    Place();
  } else if (name == "Height") {
    height_ = IntOf(v);
    Place();
  } else if (name == "Enabled") {
    SetEnabled(BoolOf(v));
  } else if (name == "Visible") {
    SetVisible(BoolOf(v));
  } else if (name == "LockLeft") {
    lockLeft_ = BoolOf(v);
  } else if (name == "LockTop") {
    lockTop_ = BoolOf(v);
  } else if (name == "LockRight") {
    lockRight_ = BoolOf(v);
  } else if (name == "LockBottom") {
    lockBottom_ = BoolOf(v);
  } else if (name == "TabPanelIndex") {
    tabPanelIndex_ = IntOf(v);
  } else if (name == "TextFont" || name == "Bold" || name == "Italic" || name == "Underline") {
    ApplyFont();
  } else if (name == "HelpTag") {
    if (QWidget* w = Widget()) w->setToolTip(ToQString(TextOf(v)));
  }
}

void RectControl::AfterDesign() {
  const String parent = Design().Text("InitialParent");
  if (!parent.IsEmpty() && Owner()) {
    auto* panel = dynamic_cast<TabPanel*>(Owner()->FindControl(parent.Bytes()).get());
    if (!panel) throw NilObjectException("no panel " + parent.Bytes());
    panel_ = panel;
    if (QWidget* w = Widget()) w->setParent(panel->Widget());
    panel->AddPageControl(this);
  }
  Place();
  UpdateShown();
}

void RectControl::ApplyFont() {
  QWidget* w = Widget();
  if (!w) return;
  QFont f = w->font();
  const String family = Design().Text("TextFont");
  // "System" is the platform's own user-interface font.
  if (!family.IsEmpty() && !(family == String("System"))) f.setFamily(ToQString(family));
  f.setBold(Design().Bool("Bold"));
  f.setItalic(Design().Bool("Italic"));
  f.setUnderline(Design().Bool("Underline"));
  if (textSize_ > 0) f.setPixelSize(static_cast<int>(std::lround(textSize_)));
  w->setFont(f);
}

void RectControl::Place() {
  QWidget* w = Widget();
  if (!w) return;
  std::int32_t x = left_, y = top_;
  if (panel_) {
    x -= panel_->Left();
    y -= panel_->Top();
  }
  // The design fixes each control's size. Telling the toolkit so also spares a layout
  // request to the parent at every change of a label's text.
  w->setFixedSize(width_, height_);
  w->move(x, y);
}

void RectControl::FollowWindowResize(std::int32_t dx, std::int32_t dy) {
  if (lockRight_) {
    if (lockLeft_) width_ += dx;
    else left_ += dx;
  }
  if (lockBottom_) {
    if (lockTop_) height_ += dy;
    else top_ += dy;
  }
  Place();
}

void RectControl::UpdateShown() {
  QWidget* w = Widget();
  if (!w) return;
  const bool pageInFront = !panel_ || panel_->Value() == tabPanelIndex_ - 1;
  w->setVisible(visible_ && pageInFront);
}

// ---- StaticText

StaticText::StaticText()
    : shown_([this] {
        if (auto* label = static_cast<QLabel*>(Widget())) label->setText(ToQString(text_));
      }) {}

QWidget* StaticText::CreateWidget(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

void StaticText::SetText(const String& text) {
  text_ = text;
  shown_.Request(RequireWidget());
}

void StaticText::ApplyProperty(std::string_view name, const PropValue& v) {
  auto* label = static_cast<QLabel*>(RequireWidget());
  if (name == "Text") {
    SetText(TextOf(v));
  } else if (name == "TextAlign" || name == "Multiline") {
    const std::int32_t align = Design().Int("TextAlign");
    const bool multiline = Design().Bool("Multiline");
    const Qt::Alignment h = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
    label->setAlignment(h | (multiline ? Qt::AlignTop : Qt::AlignVCenter));
    label->setWordWrap(multiline);
  } else if (name == "TextColor") {
    const Color c = std::get<Color>(v);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(c.r, c.g, c.b));
    label->setPalette(p);
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- PushButton

QWidget* PushButton::CreateWidget(QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, button, [this] { Raise("Action"); });
  return button;
}

bool PushButton::HasEvent(std::string_view event) const {
  return event == "Action" || Control::HasEvent(event);
}

void PushButton::SetCaption(const String& caption) {
  caption_ = caption;
  static_cast<QPushButton*>(RequireWidget())->setText(ToQString(caption));
}

void PushButton::SetDefault(bool isDefault) {
  default_ = isDefault;
  static_cast<QPushButton*>(RequireWidget())->setDefault(isDefault);
}

void PushButton::Push() { static_cast<QPushButton*>(RequireWidget())->click(); }

void PushButton::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Caption") {
    SetCaption(TextOf(v));
  } else if (name == "Default") {
    SetDefault(BoolOf(v));
  } else if (name == "Cancel") {
    cancel_ = BoolOf(v);
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- BevelButton

QWidget* BevelButton::CreateWidget(QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setFocusPolicy(Qt::NoFocus);
  QObject::connect(button, &QToolButton::clicked, button, [this] { Raise("Action"); });
  return button;
}

bool BevelButton::HasEvent(std::string_view event) const {
  return event == "Action" || Control::HasEvent(event);
}

void BevelButton::SetCaption(const String& caption) {
  caption_ = caption;
  static_cast<QToolButton*>(RequireWidget())->setText(ToQString(caption));
}

void BevelButton::SetIcon(Ref<Picture> icon) {
  icon_ = std::move(icon);
  auto* button = static_cast<QToolButton*>(RequireWidget());
  if (icon_) {
    button->setIcon(QIcon(icon_->Pixmap()));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  } else {
    button->setIcon(QIcon());
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  }
}

void BevelButton::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Caption") {
    SetCaption(TextOf(v));
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- ProgressBar

ProgressBar::ProgressBar() : shown_([this] { Show(); }) {}

QWidget* ProgressBar::CreateWidget(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  bar->setRange(0, maximum_);
  return bar;
}

void ProgressBar::SetValue(std::int32_t value) {
  value_ = value;
  shown_.Request(RequireWidget());
}

void ProgressBar::SetMaximum(std::int32_t maximum) {
  maximum_ = maximum;
  shown_.Request(RequireWidget());
}

void ProgressBar::Show() {
  auto* bar = static_cast<QProgressBar*>(Widget());
  if (!bar) return;
  // A maximum of 0 would make the toolkit's bar spin as if busy; an empty tree is done.
  const int max = maximum_ > 0 ? maximum_ : 1;
  const int value = maximum_ > 0 ? std::clamp(value_, 0, maximum_) : (value_ > 0 ? 1 : 0);
  bar->setRange(0, max);
  bar->setValue(value);
}

void ProgressBar::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Value") {
    SetValue(IntOf(v));
  } else if (name == "Maximum") {
    SetMaximum(IntOf(v));
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- TabPanel

namespace {

constexpr int kTabBarHeight = 24;

// The first dropped item's path; nothing when that item is no local file or folder, as
// a drop is judged by its first item alone.
std::optional<std::string> FirstLocalPath(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = mime->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return std::nullopt;
  return QFile::encodeName(urls.first().toLocalFile()).toStdString();
}

}  // namespace

class PanelWidget : public QWidget {
 public:
  PanelWidget(TabPanel* owner, QWidget* parent) : QWidget(parent), owner_(owner), bar_(new QTabBar(this)) {
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
  }
  QTabBar* Bar() const { return bar_; }
  void Detach() { owner_ = nullptr; }

 protected:
  void resizeEvent(QResizeEvent*) override { bar_->setGeometry(0, 0, width(), kTabBarHeight); }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, kTabBarHeight - 2, width(), height() - kTabBarHeight + 2);
    frame.shape = QTabBar::RoundedNorth;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &p, this);
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (Taken(e)) e->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (Taken(e)) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    const std::optional<std::string> path = Taken(e);
    if (!path) return;
    e->acceptProposedAction();
    owner_->Drop(New<DragItem>(New<FolderItem>(*path)), static_cast<std::int32_t>(e->dropAction()));
  }

 private:
  // The path of the item the panel would take from this drop, if it takes one.
  std::optional<std::string> Taken(const QDropEvent* e) const {
    std::optional<std::string> path = FirstLocalPath(e->mimeData());
    if (!owner_ || !path || !owner_->Accepts(*path)) return std::nullopt;
    return path;
  }
  TabPanel* owner_;
  QTabBar* bar_;
};

QWidget* TabPanel::CreateWidget(QWidget* parent) {
  auto* panel = new PanelWidget(this, parent);
  QObject::connect(panel->Bar(), &QTabBar::currentChanged, panel, [this](int index) {
    if (index >= 0 && index != value_) {
      value_ = index;
      ShowPage();
    }
  });
  return panel;
}

bool TabPanel::HasEvent(std::string_view event) const {
  return event == "DropObject" || Control::HasEvent(event);
}

String TabPanel::PageCaption(std::int32_t index) const {
  if (index < 0 || index >= PageCount()) return String();
  return pages_[static_cast<std::size_t>(index)];
}

void TabPanel::SetValue(std::int32_t value) {
  value_ = value;
  auto* panel = static_cast<PanelWidget*>(RequireWidget());
  if (value >= 0 && value < panel->Bar()->count()) panel->Bar()->setCurrentIndex(value);
  ShowPage();
}

void TabPanel::ShowPage() {
  for (RectControl* c : pageControls_) c->UpdateShown();
}

void TabPanel::AddPageControl(RectControl* control) { pageControls_.push_back(control); }

bool TabPanel::Accepts(const std::string& path) const {
  if (AcceptedFileTypes().empty()) return false;
  // Folders are taken as well as files of the accepted types.
  const FolderItem item(path);
  if (item.Directory()) return true;
  for (const String& type : AcceptedFileTypes()) {
    if (FileTypeAccepts(type, item)) return true;
  }
  return false;
}

void TabPanel::Drop(Ref<DragItem> item, std::int32_t action) { Raise("DropObject", item, action); }

void TabPanel::ApplyProperty(std::string_view name, const PropValue& v) {
  auto* panel = static_cast<PanelWidget*>(RequireWidget());
  if (name == "TabDefinition") {
    pages_.clear();
    while (panel->Bar()->count() > 0) panel->Bar()->removeTab(0);
    const String def = TextOf(v);
    const std::int32_t n = CountFields(def, Chr(13));
    for (std::int32_t i = 1; i <= n; ++i) {
      pages_.push_back(NthField(def, Chr(13), i));
      panel->Bar()->addTab(ToQString(pages_.back()));
    }
    SetValue(value_);
  } else if (name == "Value") {
    SetValue(IntOf(v));
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

TabPanel::~TabPanel() {
  if (auto* panel = static_cast<PanelWidget*>(Widget())) panel->Detach();
}

// ---- PopupMenu

namespace {

// Fusion keeps 25 px of a popup for padding and its arrow, which clips "Mac Classic (CR)"
// in a 109 px popup at 11 px. This look keeps 15: a 2 px inset, then the label, then a
// 10 px arrow zone (the arrow itself unchanged) and 3 px to the right edge.
class PopupStyle : public QProxyStyle {
 public:
  PopupStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !box || box->editable ||
        (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField)) {
      return QProxyStyle::subControlRect(control, option, part, widget);
    }
    const QRect r = option->rect;
    const QRect arrow(r.right() - kRightInset - kArrowWidth + 1, r.top(), kArrowWidth, r.height());
    const QRect field(r.left() + kLeftInset, r.top() + 2, arrow.left() - r.left() - kLeftInset, r.height() - 4);
    return visualRect(option->direction, r, part == SC_ComboBoxArrow ? arrow : field);
  }

  // Fusion caches a popup's face by size and state alone, so one drawn with its own
  // geometry would be shared with other popups of that size; this face is drawn here.
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !box || box->editable) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    if (box->frame) {
      QStyleOptionButton panel;
      panel.QStyleOption::operator=(*box);
      // As Fusion draws a popup: a button face that shows focus, pressed while open.
      panel.state = (box->state & (State_Enabled | State_MouseOver | State_HasFocus)) | State_KeyboardFocusChange;
      if (box->state & State_On) {
        panel.state |= State_Sunken;
        panel.state &= ~State_MouseOver;
      }
      drawPrimitive(PE_PanelButtonCommand, &panel, painter, widget);
    }
    if (box->subControls & SC_ComboBoxArrow) {
      QStyleOption arrow;
      arrow.QStyleOption::operator=(*box);
      arrow.rect = subControlRect(CC_ComboBox, box, SC_ComboBoxArrow, widget);
      drawPrimitive(PE_IndicatorArrowDown, &arrow, painter, widget);
    }
  }

 private:
  static constexpr int kLeftInset = 2;   // the frame and its bevel line
  static constexpr int kArrowWidth = 10;  // Fusion's 8 px arrow and a pixel each side
  static constexpr int kRightInset = 3;
};

QStyle* PopupLook() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new PopupStyle;
    style->setParent(qApp);  // deleted with the application
  }
  return style;
}

}  // namespace

QWidget* PopupMenu::CreateWidget(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setStyle(PopupLook());
  QObject::connect(combo, &QComboBox::activated, combo, [this](int index) {
    listIndex_ = index;
    Raise("Change");
  });
  return combo;
}

bool PopupMenu::HasEvent(std::string_view event) const {
  return event == "Change" || Control::HasEvent(event);
}

void PopupMenu::AddRow(const String& text) {
  rows_.push_back(text);
  auto* combo = static_cast<QComboBox*>(RequireWidget());
  combo->addItem(ToQString(text));
  // The toolkit selects the first row it gets; the popup selects nothing until told.
  combo->setCurrentIndex(listIndex_);
}

String PopupMenu::List(std::int32_t row) const {
  if (row < 0 || row >= ListCount()) return String();
  return rows_[static_cast<std::size_t>(row)];
}

void PopupMenu::SetListIndex(std::int32_t row) {
  listIndex_ = row >= 0 && row < ListCount() ? row : -1;
  static_cast<QComboBox*>(RequireWidget())->setCurrentIndex(listIndex_);
}

String PopupMenu::Text() const { return List(listIndex_); }

void PopupMenu::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "ListIndex") {
    SetListIndex(IntOf(v));
  } else if (name == "InitialValue") {
    const String rows = TextOf(v);
    if (!rows.IsEmpty()) {
      const std::int32_t n = CountFields(rows, Chr(13));
      for (std::int32_t i = 1; i <= n; ++i) AddRow(NthField(rows, Chr(13), i));
    }
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- CheckBox

QWidget* CheckBox::CreateWidget(QWidget* parent) {
  auto* box = new QCheckBox(parent);
  QObject::connect(box, &QCheckBox::toggled, box, [this](bool checked) {
    if (checked == value_) return;
    value_ = checked;
    Raise("Action");
  });
  return box;
}

bool CheckBox::HasEvent(std::string_view event) const {
  return event == "Action" || Control::HasEvent(event);
}

void CheckBox::SetValue(bool value) { static_cast<QCheckBox*>(RequireWidget())->setChecked(value); }

void CheckBox::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Caption") {
    caption_ = TextOf(v);
    static_cast<QCheckBox*>(RequireWidget())->setText(ToQString(caption_));
  } else if (name == "Value") {
    SetValue(BoolOf(v));
  } else if (name == "State") {
    SetValue(IntOf(v) == 1);
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- TextField

QWidget* TextField::CreateWidget(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  QObject::connect(field, &QLineEdit::textEdited, field,
                   [this](const QString& text) { text_ = FromQString(text); });
  QObject::connect(field, &QLineEdit::textChanged, field, [this] { Raise("TextChange"); });
  return field;
}

bool TextField::HasEvent(std::string_view event) const {
  return event == "TextChange" || Control::HasEvent(event);
}

void TextField::SetText(const String& text) {
  text_ = text;
  static_cast<QLineEdit*>(RequireWidget())->setText(ToQString(text));
}

void TextField::ApplyProperty(std::string_view name, const PropValue& v) {
  auto* field = static_cast<QLineEdit*>(RequireWidget());
  if (name == "Text") {
    SetText(TextOf(v));
  } else if (name == "ReadOnly") {
    readOnly_ = BoolOf(v);
    field->setReadOnly(readOnly_);
  } else if (name == "Border") {
    field->setFrame(BoolOf(v));
  } else if (name == "CueText") {
    field->setPlaceholderText(ToQString(TextOf(v)));
  } else {
    RectControl::ApplyProperty(name, v);
  }
}

// ---- Timer

Timer::Timer() : timer_(std::make_unique<QTimer>()) {
  // A coarse timer may fire a twentieth early; a period is a promise.
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] {
    if (mode_ == 1) mode_ = 0;  // a single-shot timer is spent
    Raise("Action");
  });
}

Timer::~Timer() = default;

QWidget* Timer::CreateWidget(QWidget*) { return nullptr; }

bool Timer::HasEvent(std::string_view event) const { return event == "Action"; }

bool Timer::IsRunning() const { return timer_->isActive(); }

void Timer::SetMode(std::int32_t mode) {
  mode_ = mode;
  Arm();
}

void Timer::SetPeriod(std::int32_t period) {
  period_ = period;
  Arm();
}

void Timer::Arm() {
  if (!armed_ || mode_ == 0) {
    timer_->stop();
    return;
  }
  timer_->setSingleShot(mode_ == 1);
  timer_->start(period_);
}

void Timer::Opened() {
  armed_ = true;
  Arm();
}

void Timer::Closed() {
  armed_ = false;
  timer_->stop();
}

void Timer::ApplyProperty(std::string_view name, const PropValue& v) {
  if (name == "Mode") {
    SetMode(IntOf(v));
  } else if (name == "Period") {
    SetPeriod(IntOf(v));
  }
}

}  // namespace kolvane
