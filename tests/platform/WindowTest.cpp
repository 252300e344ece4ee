#include "platform/Window.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileType.h"
#include "tests/support/Drop.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

using test::ModalAnswerer;
using test::PumpUntil;

// A small window built from design data the way the program's windows are.
class SampleWindow : public Window {
 public:
  const char* ClassName() const override { return "Test.SampleWindow"; }

  std::vector<std::string> events;
  Ref<DragItem> dropped;

  void OkBtn_Action() { events.push_back("ok"); }
  void OffBtn_Action() { events.push_back("off"); }
  void FailBtn_Action() { ControlByName<PushButton>("NoSuchButton")->Push(); }
  void Ticker_Action() { events.push_back("tick"); }
  void Field_TextChange() { events.push_back("change"); }
  void Panel_DropObject(Ref<DragItem> item, std::int32_t) {
    events.push_back("drop");
    dropped = item;
  }
  void Label_Open() { events.push_back("label open"); }

 protected:
  void Layout() override {
    _SetProperties({{"Width", 300}, {"Height", 200}, {"Title", String("Sample")}, {"Frame", 0},
                    {"CloseButton", true}, {"MinHeight", 64}});
  }
  void CreateControls() override {
    auto label = New<StaticText>();
    _AddControl("Label", label);
    label->SetTextSize(11);
    label->_SetProperties({{"Left", 5}, {"Top", 6}, {"Width", 100}, {"Height", 20}, {"Text", String("<b>x</b>")},
                           {"LockBottom", true}, {"LockTop", false}});
    _InstallInstanceEventHandler(label, "Open", &SampleWindow::Label_Open);

    for (const char* name : {"OkBtn", "OffBtn", "FailBtn"}) {
      auto b = New<PushButton>();
      _AddControl(name, b);
      b->_SetProperties({{"Left", 200}, {"Top", 170}, {"Width", 80}, {"Height", 20}, {"Caption", String(name)}});
    }
    ControlByName<PushButton>("OkBtn")->SetDefault(true);
    ControlByName<PushButton>("OffBtn")->SetEnabled(false);
    _InstallInstanceEventHandler(FindControl("OkBtn"), "Action", &SampleWindow::OkBtn_Action);
    _InstallInstanceEventHandler(FindControl("OffBtn"), "Action", &SampleWindow::OffBtn_Action);
    _InstallInstanceEventHandler(FindControl("FailBtn"), "Action", &SampleWindow::FailBtn_Action);

    auto ticker = New<Timer>();
    _AddControl("Ticker", ticker);
    ticker->_SetProperties({{"Mode", 1}, {"Period", 50}});
    _InstallInstanceEventHandler(ticker, "Action", &SampleWindow::Ticker_Action);

    auto field = New<TextField>();
    _AddControl("Field", field);
    field->_SetProperties({{"Left", 5}, {"Top", 40}, {"Width", 100}, {"Height", 20}, {"ReadOnly", true}});
    _InstallInstanceEventHandler(field, "TextChange", &SampleWindow::Field_TextChange);

    auto panel = New<TabPanel>();
    _AddControl("Panel", panel);
    panel->_SetProperties({{"Left", 10}, {"Top", 70}, {"Width", 280}, {"Height", 90},
                           {"TabDefinition", String("One\rTwo")}});
    _InstallInstanceEventHandler(panel, "DropObject", &SampleWindow::Panel_DropObject);
    auto onTwo = New<StaticText>();
    _AddControl("OnTwo", onTwo);
    onTwo->_SetProperties({{"Left", 20}, {"Top", 110}, {"Width", 60}, {"Height", 20}, {"TabPanelIndex", 2},
                           {"InitialParent", String("Panel")}, {"Text", String("page two")}});
  }
};

Ref<SampleWindow> OpenSample() { return ImplicitInstance<SampleWindow>("Test.SampleWindow"); }

TEST(WindowsFromDesign, ControlsStandAtTheirDesignPlacesAndAreFoundByName) {
  const Ref<SampleWindow> w = OpenSample();
  EXPECT_EQ(w->Title(), String("Sample"));
  EXPECT_EQ(w->ContentWidget()->size(), QSize(300, 200));
  EXPECT_EQ(w->ControlByName<StaticText>("Label")->Widget()->geometry(), QRect(5, 6, 100, 20));
  // A control on a tab page is placed in window coordinates like the others.
  QWidget* onTwo = w->ControlByName<StaticText>("OnTwo")->Widget();
  EXPECT_EQ(QRect(onTwo->mapTo(w->ContentWidget(), QPoint(0, 0)), onTwo->size()), QRect(20, 110, 60, 20));
  EXPECT_THROW(w->ControlByName<StaticText>("Missing"), NilObjectException);
  EXPECT_THROW(w->ControlByName<PushButton>("Label"), NilObjectException);  // another class
  // Texts are shown as they are, never as markup.
  EXPECT_EQ(static_cast<QLabel*>(w->ControlByName<StaticText>("Label")->Widget())->textFormat(), Qt::PlainText);
  EXPECT_EQ(w->events.front(), "label open");
  w->Close();
}

TEST(WindowsFromDesign, ImplicitInstanceIsTheOpenWindowUntilItCloses) {
  const Ref<SampleWindow> first = OpenSample();
  EXPECT_EQ(OpenSample().get(), first.get());
  EXPECT_EQ(first->events, std::vector<std::string>{"label open"});  // no second Open
  first->Close();
  EXPECT_FALSE(Window::_GetImplicitWindow("Test.SampleWindow"));
  const Ref<SampleWindow> second = OpenSample();
  EXPECT_NE(second.get(), first.get());
  second->Close();
}

TEST(WindowsFromDesign, BindingAnUnknownEventIsRefused) {
  class BadWindow : public Window {
   public:
    const char* ClassName() const override { return "Test.Bad"; }
    void Handler() {}

   protected:
    void CreateControls() override {
      auto label = New<StaticText>();
      _AddControl("Label", label);
      _InstallInstanceEventHandler(label, "Action", &BadWindow::Handler);
    }
  };
  const auto w = New<BadWindow>();
  EXPECT_THROW(w->Constructor(), RuntimeException);
}

TEST(WindowEvents, ReturnPressesTheDefaultButtonAndDisabledButtonsStaySilent) {
  const Ref<SampleWindow> w = OpenSample();
  w->Show();
  QTest::keyClick(w->Widget(), Qt::Key_Return);
  w->ControlByName<PushButton>("OffBtn")->Push();
  QTest::mouseClick(static_cast<QPushButton*>(w->ControlByName<PushButton>("OffBtn")->Widget()), Qt::LeftButton);
  EXPECT_EQ(w->events, (std::vector<std::string>{"label open", "ok"}));
  w->Close();
}

TEST(WindowEvents, AnExceptionLeavingAHandlerIsReportedAndTheProgramGoesOn) {
  const Ref<SampleWindow> w = OpenSample();
  ModalAnswerer answerer;
  w->ControlByName<PushButton>("FailBtn")->Push();
  ASSERT_EQ(answerer.Texts(), std::vector<std::string>{"An exception of class NilObjectException was not handled."});
  w->ControlByName<PushButton>("OkBtn")->Push();
  EXPECT_EQ(w->events.back(), "ok");
  w->Close();
}

TEST(WindowEvents, ASingleShotTimerFiresOnceAndNotAfterTheWindowCloses) {
  const Ref<SampleWindow> w = OpenSample();
  ASSERT_TRUE(PumpUntil([&] { return w->events.back() == "tick"; }));
  test::Pump(120);
  EXPECT_EQ(std::count(w->events.begin(), w->events.end(), "tick"), 1);
  EXPECT_EQ(w->ControlByName<Timer>("Ticker")->Mode(), 0);
  w->Close();

  const Ref<SampleWindow> again = OpenSample();
  again->Close();
  test::Pump(120);
  EXPECT_EQ(std::count(again->events.begin(), again->events.end(), "tick"), 0);
}

TEST(WindowEvents, ShowModalReturnsWhenTheWindowHasClosed) {
  const Ref<SampleWindow> w = OpenSample();
  QTimer::singleShot(30, [w] { w->Close(); });
  w->ShowModal();
  EXPECT_FALSE(w->IsOpen());
  EXPECT_FALSE(w->Widget()->isVisible());
}

TEST(WindowEvents, TextChangeFollowsTheFieldsText) {
  const Ref<SampleWindow> w = OpenSample();
  w->ControlByName<TextField>("Field")->SetText("/some/path");
  EXPECT_EQ(w->events.back(), "change");
  EXPECT_EQ(w->ControlByName<TextField>("Field")->Text(), String("/some/path"));
  w->Close();
}

TEST(WindowLayout, LockedControlsFollowTheWindowsHeight) {
  const Ref<SampleWindow> w = OpenSample();
  w->SetHeight(260);
  const Ref<StaticText> label = w->ControlByName<StaticText>("Label");
  EXPECT_EQ(label->Top(), 66);  // locked to the bottom, not the top
  EXPECT_EQ(label->Height(), 20);
  EXPECT_EQ(label->Widget()->geometry(), QRect(5, 66, 100, 20));
  EXPECT_EQ(w->ContentWidget()->height(), 260);
  w->Close();
}

TEST(TabPanels, PageControlsShowOnlyWithTheirPage) {
  const Ref<SampleWindow> w = OpenSample();
  w->Show();
  const Ref<TabPanel> panel = w->ControlByName<TabPanel>("Panel");
  QWidget* onTwo = w->ControlByName<StaticText>("OnTwo")->Widget();
  EXPECT_EQ(panel->PageCount(), 2);
  EXPECT_EQ(panel->PageCaption(1), String("Two"));
  EXPECT_FALSE(onTwo->isVisible());
  panel->SetValue(1);
  EXPECT_TRUE(onTwo->isVisible());
  panel->SetValue(0);
  EXPECT_FALSE(onTwo->isVisible());
  w->Close();
}

TEST(TabPanels, DropsDeliverTheFirstItemOnceARegisteredTypeIsAccepted) {
  test::TempDir dir;
  test::WriteFile(dir / "a.txt", "a");
  test::WriteFile(dir / "b.txt", "b");
  FileType text;
  text.Name = "text";
  text.Extensions = ".txt";
  text.MacType = "????";
  text.MacCreator = "????";
  static_cast<void>(static_cast<String>(text));

  const Ref<SampleWindow> w = OpenSample();
  QWidget* panel = w->ControlByName<TabPanel>("Panel")->Widget();
  EXPECT_FALSE(test::DropPaths(panel, {dir / "a.txt"}));  // nothing registered yet
  w->ControlByName<TabPanel>("Panel")->AcceptFileDrop("text");
  EXPECT_TRUE(test::DropPaths(panel, {dir / "b.txt", dir / "a.txt"}));
  ASSERT_TRUE(w->dropped);
  EXPECT_EQ(w->dropped->FolderItem()->Name(), String("b.txt"));
  EXPECT_TRUE(test::DropPaths(panel, {dir.path()}));  // folders too
  EXPECT_TRUE(w->dropped->FolderItem()->Directory());
  w->Close();
}

TEST(Keyboard, EscapeIsTrackedWhileItIsHeld) {
  const Ref<SampleWindow> w = OpenSample();
  w->Show();
  EXPECT_FALSE(Keyboard::AsyncKeyDown(53));
  QTest::keyPress(w->Widget(), Qt::Key_Escape);
  EXPECT_TRUE(Keyboard::AsyncKeyDown(53));
  EXPECT_FALSE(Keyboard::AsyncKeyDown(36));
  QTest::keyRelease(w->Widget(), Qt::Key_Escape);
  EXPECT_FALSE(Keyboard::AsyncKeyDown(53));
  w->Close();
}

TEST(MessageBoxes, ShowTheMessageAsWrittenAlsoWhenItLooksLikeMarkup) {
  // What the box reads out is what it shows: markup rendered would lose its tags.
  std::vector<std::string> shown;
  const test::Answer readAndClose = test::Run([&](QWidget* box) {
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (!label->isVisibleTo(box) || label->text().isEmpty()) continue;
      const QAccessibleInterface* read = QAccessible::queryAccessibleInterface(label);
      shown.push_back(read ? read->text(QAccessible::Name).toStdString() : "");
    }
    test::PressDefault()(box);
  });
  ModalAnswerer answerer({readAndClose, readAndClose, readAndClose});
  MsgBox("<b>x</b>");
  MsgBox("<p>1 &lt; 2</p>", 0, "");
  MsgBox("a <i>b</i> & c", 0, "Title");
  EXPECT_EQ(shown, (std::vector<std::string>{"<b>x</b>", "<p>1 &lt; 2</p>", "a <i>b</i> & c"}));
  EXPECT_EQ(answerer.Seen().size(), 3u);
}

}  // namespace
}  // namespace kolvane
