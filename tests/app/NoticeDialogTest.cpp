#include <gtest/gtest.h>

#include "app/Prefs_Modul.h"
#include "app/WarnWindow.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"

namespace kolvane {
namespace {

using test::ModalAnswerer;
using test::PressEscape;
using test::Press;
using test::PressDefault;

// What the notice looked like while it was up.
struct NoticeState {
  std::int32_t height = 0;
  std::int32_t textHeight = 0;
  std::int32_t buttonsTop = 0;
  std::string title;
  std::vector<std::string> visibleButtons;  // left to right
  std::string defaultButton;                // the control whose Default is set
  std::string text;
};

NoticeState Capture() {
  NoticeState s;
  const Ref<Window> w = Window::_GetImplicitWindow("WarnWindow.WarnWindow");
  s.height = w->Height();
  s.title = w->Title().Bytes();
  s.textHeight = w->ControlByName<StaticText>("DoText")->Widget()->height();
  s.text = w->ControlByName<StaticText>("DoText")->Text().Bytes();
  s.buttonsTop = w->ControlByName<PushButton>("Do1Btn")->Widget()->y();
  for (const char* name : {"Do4Btn", "Do3Btn", "Do2Btn", "Do1Btn"}) {
    const Ref<PushButton> b = w->ControlByName<PushButton>(name);
    if (b->Widget()->isVisible()) s.visibleButtons.push_back(b->Caption().Bytes());
    if (b->Default()) s.defaultButton = name;
  }
  return s;
}

// Shows a notice, captures it, then answers it.
NoticeState Show(std::int32_t defaultButton, const String& message, const String& c1, const String& c2,
                 const String& c3, test::Answer answer = PressDefault()) {
  NoticeState state;
  ModalAnswerer answerer({test::Run([&](QWidget* dialog) {
    state = Capture();
    answer(dialog);
  })});
  WarnWindow()->InitWindow(defaultButton, message, c1, c2, c3);
  EXPECT_EQ(answerer.Seen().size(), 1u);
  return state;
}

struct HeightCase {
  std::string message;
  std::int32_t height;
};

TEST(NoticeDialog, HeightFollowsTheEstimatedRowsOfTheMessage) {
  const std::vector<HeightCase> cases = {
      {"Conversion done successfull.", 104},
      {"Conversion done.", 104},
      {"", 104},
      {std::string(46, 'x'), 104},
      {std::string(135, 'x'), 104},
      {std::string(136, 'x'), 117},
      {std::string(10, 'a') + "\n\n" + std::string(100, 'b'), 117},
      {std::string(200, 'x'), 135},
      {std::string(45 * 10, 'x'), 18 * 10 + 45},
      {"ends in a line break\n", 104},
      {"é" + std::string(134, 'x'), 104},  // characters, not bytes
  };
  for (const HeightCase& c : cases) {
    const NoticeState s = Show(1, c.message, "OK", "", "");
    EXPECT_EQ(s.height, c.height) << c.message.size();
    EXPECT_EQ(s.textHeight, c.height - 48) << c.message.size();
    EXPECT_EQ(s.buttonsTop, c.height - 32) << c.message.size();
    EXPECT_EQ(s.text, c.message);
  }
}

TEST(NoticeDialog, TitleNamesTheProgramAndItsVersion) {
  const NoticeState s = Show(1, "Conversion done.", "OK", "", "");
  // The test program is the executable here; its name holds no ".".
  EXPECT_EQ(s.title, "app_tests v.1.0 - Hinweis!");
}

TEST(NoticeDialog, ButtonsShowByCaptionRightToLeftAndTheNumberPicksTheDefault) {
  NoticeState s = Show(1, "m", "OK", "", "");
  EXPECT_EQ(s.visibleButtons, std::vector<std::string>{"OK"});
  EXPECT_EQ(s.defaultButton, "Do1Btn");

  s = Show(3, "m", "Yes", "No", "Maybe", Press("No"));
  EXPECT_EQ(s.visibleButtons, (std::vector<std::string>{"Maybe", "No", "Yes"}));
  EXPECT_EQ(s.defaultButton, "Do3Btn");
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, 2);

  // The number alone decides, also for a button left hidden.
  s = Show(2, "m", "OK", "", "", Press("OK"));
  EXPECT_EQ(s.defaultButton, "Do2Btn");
  EXPECT_EQ(s.visibleButtons, std::vector<std::string>{"OK"});

  for (const std::int32_t none : {0, 4, -1}) {
    s = Show(none, "m", "A", "B", "", Press("A"));
    EXPECT_EQ(s.defaultButton, "") << none;
  }
}

TEST(NoticeDialog, TheResultNamesThePressedButtonOrEscape) {
  Show(1, "m", "OK", "Cancel", "", PressDefault());
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, 1);
  Show(1, "m", "OK", "Cancel", "", Press("Cancel"));
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, 2);
  Show(1, "m", "OK", "Cancel", "", PressEscape());
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, -1);
  // Without any caption only Escape closes it.
  const NoticeState s = Show(1, "m", "", "", "", PressEscape());
  EXPECT_TRUE(s.visibleButtons.empty());
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, -1);
}

TEST(NoticeDialog, EachNoticeIsAFreshDialog) {
  Show(1, "first", "A", "B", "C", Press("C"));
  const NoticeState s = Show(1, "second", "OK", "", "");
  EXPECT_EQ(s.visibleButtons, std::vector<std::string>{"OK"});
  EXPECT_EQ(s.height, 104);
  EXPECT_FALSE(Window::_GetImplicitWindow("WarnWindow.WarnWindow"));
}

TEST(NoticeDialog, ItsLookIsTheDesigned) {
  Show(1, "look", "OK", "", "", test::Run([](QWidget* dialog) {
         const Ref<Window> w = Window::_GetImplicitWindow("WarnWindow.WarnWindow");
         EXPECT_EQ(w->Width(), 365);
         EXPECT_TRUE(w->HasBackColor());
         EXPECT_EQ(w->BackColor(), RGB(255, 226, 160));
         EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
         EXPECT_TRUE(w->ControlByName<StaticText>("DoText")->Widget()->font().bold());
         EXPECT_EQ(w->ControlByName<PushButton>("Do1Btn")->Widget()->geometry().right(), 365 - 13 - 1);
         PressDefault()(dialog);
       }));
}

using WarnWindowClass = class WarnWindow;

// A notice dialog whose height estimate can be asked directly.
class EstimatingWarnWindow : public WarnWindowClass {
 public:
  using WarnWindowClass::p_GetTextHeight;
};

TEST(NoticeDialog, HeightEstimateReportsItsOwnFailure) {
  const auto w = New<EstimatingWarnWindow>();
  w->Constructor();
  EXPECT_EQ(w->p_GetTextHeight("a\nbb\n" + std::string(91, 'c'), 10, 45), 10 + 10 + 30);
  ModalAnswerer answerer;
  EXPECT_EQ(w->p_GetTextHeight("text", 18, 0), 0);
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"EXception in String_GetTextHeight"});
  w->Close();
}

// A notice dialog that lost its message control: the failure is reported and what was
// already set stays set.
class BrokenWarnWindow : public WarnWindowClass {
 protected:
  void CreateControls() override {}
};

TEST(NoticeDialog, AFailureWhilePreparingIsReported) {
  const auto w = New<BrokenWarnWindow>();
  w->Constructor();
  Prefs_Modul::WarnWindowResult = 3;
  ModalAnswerer answerer;
  w->InitWindow(1, std::string(200, 'x'), "OK", "", "");
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, "Exception in WarnWin: InitWindow");
  EXPECT_EQ(answerer.Seen()[0].title, "");
  EXPECT_EQ(w->Height(), 135);
  EXPECT_EQ(Prefs_Modul::WarnWindowResult, -1);
  w->Close();
}

TEST(ErrorReport, ShowsTheTextUnchangedInAPlainAlert) {
  ModalAnswerer answerer;
  UpdateProtocoll("ConvertBtn.Action");
  UpdateProtocoll("");
  UpdateProtocoll("Exception p_CountItems");
  ASSERT_EQ(answerer.Seen().size(), 3u);
  EXPECT_EQ(answerer.Texts(), (std::vector<std::string>{"ConvertBtn.Action", "", "Exception p_CountItems"}));
  for (const test::SeenDialog& d : answerer.Seen()) {
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
  }
}

}  // namespace
}  // namespace kolvane
