#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/Bundle.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"
#include "ui/MainWindow.h"

namespace kolvane {
namespace {

using MainWindowClass = class MainWindow;

// The window as its design leaves it, before its Open event fills it.
class DesignOnly : public MainWindowClass {
 protected:
  void Event_Open() override {}
};

Ref<DesignOnly> BuildDesignOnly() {
  auto w = New<DesignOnly>();
  w->Constructor();
  return w;
}

struct ControlRow {
  const char* name;
  const char* kind;
  int page;  // 0 on the window, else the tab page
  QRect rect;
  const char* caption;
  bool enabled;
  float textSize;
  int tabIndex;  // -1: none
};

const ControlRow kControls[] = {
    {"myPanel", "TabPanel", 0, {10, 69, 428, 203}, "", true, 0, 2},
    {"StaticText1", "StaticText", 2, {20, 109, 111, 20}, "Source Directory:", true, 11, 0},
    {"SourceDirectoryField", "TextField", 2, {20, 131, 317, 20}, "", true, 11, 1},
    {"SourceDirSelectBtn", "BevelButton", 2, {342, 130, 86, 22}, "Select...", false, 0, 2},
    {"StaticText2", "StaticText", 2, {20, 155, 111, 20}, "Target Directory:", true, 11, 3},
    {"TargetDirectoryField", "TextField", 2, {20, 177, 317, 20}, "", true, 11, 4},
    {"TargetDirSelectBtn", "BevelButton", 2, {342, 176, 86, 22}, "Select...", false, 0, 5},
    {"StatusBar", "ProgressBar", 2, {20, 204, 408, 16}, "", true, 0, -1},
    {"StaticText3", "StaticText", 1, {20, 109, 111, 20}, "Source File:", true, 11, 0},
    {"SourceFileField", "TextField", 1, {20, 133, 317, 20}, "", true, 11, 1},
    {"SourceFileSelectBtn", "BevelButton", 1, {342, 132, 86, 22}, "Select...", true, 0, 2},
    {"StatusText", "StaticText", 2, {20, 217, 408, 20}, "-", true, 11, 6},
    {"ConvertSingleBtn", "PushButton", 1, {277, 200, 151, 20}, "Convert", false, 0, 3},
    {"ConvertBatchBtn", "PushButton", 2, {276, 238, 151, 20}, "Batch Convert", false, 0, 7},
    {"StaticText4", "StaticText", 1, {20, 160, 408, 20},
     "The converted file will be created in the same directory as the source file.", true, 11, 4},
    {"StaticText7", "StaticText", 1, {20, 180, 73, 20}, "...or Drop!", true, 11, 5},
    {"DropText", "StaticText", 2, {20, 239, 73, 20}, "...or Drop!", false, 11, 8},
    {"QuitBtn", "PushButton", 0, {342, 321, 96, 20}, "Quit", true, 0, 7},
    {"AboutBtn", "BevelButton", 0, {10, 322, 96, 22}, "About", true, 0, 8},
    {"TargetPop", "PopupMenu", 0, {248, 11, 190, 20}, "", true, 11, 9},
    {"StaticText5", "StaticText", 0, {217, 13, 19, 16}, ">>", true, 11, 10},
    {"SourcePop", "PopupMenu", 0, {10, 11, 195, 20}, "", true, 11, 11},
    {"StaticText6", "StaticText", 0, {277, 43, 19, 16}, ">>", true, 11, 12},
    {"LBSourcePop", "PopupMenu", 0, {156, 41, 109, 20}, "", false, 11, 13},
    {"LBTargetPop", "PopupMenu", 0, {308, 41, 130, 20}, "", false, 11, 14},
    {"ConvertLBCB", "CheckBox", 0, {14, 41, 136, 20}, "Convert Linebreaks:", true, 11, 15},
};

std::string KindOf(const Control& c) {
  if (dynamic_cast<const TabPanel*>(&c)) return "TabPanel";
  if (dynamic_cast<const StaticText*>(&c)) return "StaticText";
  if (dynamic_cast<const TextField*>(&c)) return "TextField";
  if (dynamic_cast<const BevelButton*>(&c)) return "BevelButton";
  if (dynamic_cast<const PushButton*>(&c)) return "PushButton";
  if (dynamic_cast<const ProgressBar*>(&c)) return "ProgressBar";
  if (dynamic_cast<const PopupMenu*>(&c)) return "PopupMenu";
  if (dynamic_cast<const CheckBox*>(&c)) return "CheckBox";
  return "?";
}

String CaptionOf(const Control& c) {
  if (auto* t = dynamic_cast<const StaticText*>(&c)) return t->Text();
  if (auto* b = dynamic_cast<const BevelButton*>(&c)) return b->Caption();
  if (auto* b = dynamic_cast<const PushButton*>(&c)) return b->Caption();
  if (auto* b = dynamic_cast<const CheckBox*>(&c)) return b->Caption();
  if (auto* f = dynamic_cast<const TextField*>(&c)) return f->Text();
  return String();
}

TEST(MainWindowDesign, TheControlsInCreationOrderWithTheirPlacesAndStates) {
  const Ref<DesignOnly> w = BuildDesignOnly();
  ASSERT_EQ(w->Controls().size(), std::size(kControls));
  for (std::size_t i = 0; i < std::size(kControls); ++i) {
    const ControlRow& row = kControls[i];
    const auto* c = dynamic_cast<const RectControl*>(w->Controls()[i].get());
    ASSERT_TRUE(c) << row.name;
    SCOPED_TRACE(row.name);
    EXPECT_EQ(c->Name(), row.name);
    EXPECT_EQ(KindOf(*c), row.kind);
    EXPECT_EQ(c->TabPanelIndex(), row.page);
    EXPECT_EQ(QRect(c->Left(), c->Top(), c->Width(), c->Height()), row.rect);
    // The widget stands there in the window's content area, on a page or not.
    QWidget* widget = c->Widget();
    EXPECT_EQ(QRect(widget->mapTo(w->ContentWidget(), QPoint(0, 0)), widget->size()), row.rect);
    EXPECT_EQ(CaptionOf(*c), String(row.caption));
    EXPECT_EQ(c->Enabled(), row.enabled);
    EXPECT_EQ(widget->isEnabled(), row.enabled);
    EXPECT_EQ(c->TextSize(), row.textSize);
    if (row.textSize > 0) {
      EXPECT_EQ(widget->font().pixelSize(), 11);
    }
    if (row.tabIndex >= 0) {
      EXPECT_EQ(c->Design().Int("TabIndex", -1), row.tabIndex);
    }
    EXPECT_TRUE(c->Visible());
    EXPECT_EQ(c->Design().Int("Index"), -2147483647 - 1);
  }
  w->Close();
}

TEST(MainWindowDesign, AWindowJustBuiltIsEmptyAndWaitsForItsChoices) {
  const Ref<DesignOnly> w = BuildDesignOnly();
  EXPECT_EQ(w->Title(), String("Kolvane"));
  EXPECT_EQ(w->ContentWidget()->size(), QSize(448, 360));
  EXPECT_EQ(w->ControlByName<TabPanel>("myPanel")->Value(), 0);
  EXPECT_EQ(w->ControlByName<TabPanel>("myPanel")->PageCaption(0), String("Single File Conversion"));
  EXPECT_EQ(w->ControlByName<TabPanel>("myPanel")->PageCaption(1), String("Batch Conversion"));
  for (const char* field : {"SourceDirectoryField", "TargetDirectoryField", "SourceFileField"}) {
    EXPECT_TRUE(w->ControlByName<TextField>(field)->Text().IsEmpty());
    EXPECT_TRUE(w->ControlByName<TextField>(field)->ReadOnly());
  }
  EXPECT_EQ(w->ControlByName<ProgressBar>("StatusBar")->Value(), 0);
  EXPECT_EQ(w->ControlByName<ProgressBar>("StatusBar")->Maximum(), 100);
  for (const char* pop : {"SourcePop", "TargetPop", "LBSourcePop", "LBTargetPop"}) {
    EXPECT_EQ(w->ControlByName<PopupMenu>(pop)->ListCount(), 0);
    EXPECT_TRUE(w->ControlByName<PopupMenu>(pop)->Text().IsEmpty());
  }
  EXPECT_FALSE(w->ControlByName<CheckBox>("ConvertLBCB")->Value());
  EXPECT_TRUE(w->ControlByName<PushButton>("QuitBtn")->Default());
  EXPECT_FALSE(w->ControlByName<PushButton>("ConvertSingleBtn")->Default());
  EXPECT_FALSE(w->SourceFile);
  EXPECT_FALSE(w->SourceFolder);
  EXPECT_FALSE(w->TargetFolder);
  EXPECT_EQ(w->ItemCount, 0);
  // A fixed-size window that can be minimized and closed, not maximized.
  const Qt::WindowFlags flags = w->Widget()->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  w->Show();
  EXPECT_EQ(w->Widget()->minimumSize(), w->Widget()->maximumSize());
  w->Close();
}

TEST(MainWindowDesign, AccessorGivesTheOpenWindowThenAFreshOne) {
  const Ref<MainWindowClass> first = MainWindow();
  first->ControlByName<PopupMenu>("SourcePop")->SetListIndex(3);
  first->ItemCount = 7;
  EXPECT_EQ(MainWindow().get(), first.get());
  EXPECT_EQ(first->ControlByName<PopupMenu>("SourcePop")->ListCount(), 5);  // no second Open
  first->Close();
  const Ref<MainWindowClass> second = MainWindow();
  EXPECT_NE(second.get(), first.get());
  EXPECT_EQ(second->ItemCount, 0);
  EXPECT_EQ(second->ControlByName<PopupMenu>("SourcePop")->ListIndex(), 0);
  second->Close();
}

TEST(MainWindowDesign, SelectAndAboutButtonsCarryTheirIcons) {
  test::TestBundle bundle(true);
  const Ref<MainWindowClass> w = MainWindow();
  const Ref<Picture> folder = w->ControlByName<BevelButton>("SourceFileSelectBtn")->Icon();
  ASSERT_TRUE(folder);
  EXPECT_EQ(w->ControlByName<BevelButton>("SourceDirSelectBtn")->Icon().get(), folder.get());
  EXPECT_EQ(w->ControlByName<BevelButton>("TargetDirSelectBtn")->Icon().get(), folder.get());
  EXPECT_TRUE(w->ControlByName<BevelButton>("AboutBtn")->Icon());
  EXPECT_FALSE(static_cast<QToolButton*>(w->ControlByName<BevelButton>("AboutBtn")->Widget())->icon().isNull());
  w->Show();
  w->Widget()->grab().save(QString::fromStdString((test::ScreenshotFolder() / "MainWindow.png").string()));
  w->ControlByName<TabPanel>("myPanel")->SetValue(1);
  w->Widget()->grab().save(QString::fromStdString((test::ScreenshotFolder() / "MainWindow-Batch.png").string()));
  w->Close();
}

// The style's rectangles for a popup as it stands, selection included.
QStyleOptionComboBox ComboOption(const QComboBox& combo) {
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.editable = combo.isEditable();
  option.frame = combo.hasFrame();
  option.currentText = combo.currentText();
  option.subControls = QStyle::SC_All;
  return option;
}

// Whether the rectangle holds a pixel that stands out from the popup's face.
bool HasInk(const QImage& image, const QRect& area) {
  const QRgb face = image.pixel(area.center().x(), 3);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (std::abs(qGray(image.pixel(x, y)) - qGray(face)) > 64) return true;
    }
  }
  return false;
}

TEST(MainWindowDesign, EveryPopupLabelReadsWholeAtTheDesignSize) {
  const Ref<MainWindowClass> w = MainWindow();
  w->ControlByName<CheckBox>("ConvertLBCB")->SetValue(true);  // the line-break popups as in use
  w->Show();
  const std::filesystem::path folder = test::ScreenshotFolder() / "popups";
  std::filesystem::create_directories(folder);
  for (const char* name : {"SourcePop", "TargetPop", "LBSourcePop", "LBTargetPop"}) {
    const Ref<PopupMenu> pop = w->ControlByName<PopupMenu>(name);
    auto* combo = static_cast<QComboBox*>(pop->Widget());
    ASSERT_TRUE(combo->isEnabled()) << name;
    ASSERT_EQ(combo->size(), QSize(pop->Width(), pop->Height())) << name;
    ASSERT_EQ(combo->font().pixelSize(), 11) << name;
    const QFontMetrics metrics(combo->font());
    ASSERT_GT(pop->ListCount(), 0) << name;
    for (std::int32_t row = 0; row < pop->ListCount(); ++row) {
      pop->SetListIndex(row);
      const QString text = combo->currentText();
      SCOPED_TRACE(std::string(name) + " \"" + text.toStdString() + "\"");
      ASSERT_EQ(text.toStdString(), pop->List(row).Bytes());
      const QStyleOptionComboBox option = ComboOption(*combo);
      const QStyle* style = combo->style();
      const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
      const QRect arrow = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, combo);
      EXPECT_TRUE(combo->rect().contains(field)) << field.x() << "," << field.width();
      // The label is drawn a pixel in from each side of its field and clipped to it.
      EXPECT_LE(metrics.horizontalAdvance(text), field.width() - 2) << "field " << field.width() << " px";
      EXPECT_LE(metrics.boundingRect(text).right() + 1, field.width() - 2) << "field " << field.width() << " px";
      // Still a popup: its arrow is there, beside the label, and drawn.
      const QRect face = combo->rect().adjusted(2, 2, -2, -2);  // inside the frame
      EXPECT_GE((arrow & face).width(), 8);
      EXPECT_FALSE(arrow.intersects(field));
      const QImage image = combo->grab().toImage();
      EXPECT_TRUE(HasInk(image, arrow & face));
      EXPECT_TRUE(HasInk(image, field & face));
      const std::string file = std::string(name) + "-" + std::to_string(row) + ".png";
      image.save(QString::fromStdString((folder / file).string()));
    }
  }
  w->Close();
}

// Runs the checks in a fresh run of this test program, where nothing that a process keeps
// once loaded (the pictures) is loaded yet, and expects them all to hold. Their failures
// come back as the child's message.
void ExpectInAFreshProcess(const std::function<void()>& checks) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts the program anew
  EXPECT_EXIT(
      {
        testing::TestPartResultArray results;
        {
          const testing::ScopedFakeTestPartResultReporter reporter(
              testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
          checks();
        }
        bool failed = false;
        for (int i = 0; i < results.size(); ++i) {
          const testing::TestPartResult& r = results.GetTestPartResult(i);
          if (!r.failed()) continue;
          failed = true;
          std::fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(), r.message());
        }
        std::fflush(stderr);
        // Not exit(): the application object still lives on main's stack.
        std::_Exit(failed ? 1 : 0);
      },
      testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}

TEST(MainWindowDesign, WithoutPicturesTheButtonsShowTheirCaptionsAlone) {
  ExpectInAFreshProcess([] {
    test::TestBundle bundle(false);
    test::ModalAnswerer answerer;
    const Ref<MainWindowClass> w = MainWindow();
    w->Show();
    test::Pump(50);
    const std::pair<const char*, const char*> buttons[] = {{"SourceFileSelectBtn", "Select..."},
                                                           {"SourceDirSelectBtn", "Select..."},
                                                           {"TargetDirSelectBtn", "Select..."},
                                                           {"AboutBtn", "About"}};
    for (const auto& [name, caption] : buttons) {
      SCOPED_TRACE(name);
      const Ref<BevelButton> button = w->ControlByName<BevelButton>(name);
      EXPECT_FALSE(button->Icon());
      EXPECT_EQ(button->Caption(), String(caption));
      const auto* tool = static_cast<QToolButton*>(button->Widget());
      EXPECT_TRUE(tool->icon().isNull());
      EXPECT_EQ(tool->toolButtonStyle(), Qt::ToolButtonTextOnly);
      EXPECT_EQ(tool->text().toStdString(), caption);
    }
    EXPECT_TRUE(answerer.Seen().empty());
    w->Close();
  });
}

}  // namespace
}  // namespace kolvane
