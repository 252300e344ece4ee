// Paced updates of a shown window, brought to the screen at once on request.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Controls.h"
#include "platform/Window.h"

namespace kolvane {
namespace {

class ProgressWindow : public Window {
 public:
  const char* ClassName() const override { return "Test.ProgressWindow"; }

 protected:
  void Layout() override { _SetProperties({{"Width", 300}, {"Height", 80}, {"Title", String("Progress")}}); }
  void CreateControls() override {
    auto label = New<StaticText>();
    _AddControl("Status", label);
    label->_SetProperties({{"Left", 10}, {"Top", 10}, {"Width", 280}, {"Height", 20}, {"Text", String("-")}});
    auto bar = New<ProgressBar>();
    _AddControl("Bar", bar);
    bar->_SetProperties({{"Left", 10}, {"Top", 40}, {"Width", 280}, {"Height", 16}, {"Maximum", 100}});
  }
};

// What a widget looked like when it was last painted.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QWidget* widget, std::function<std::string()> look) : look_(std::move(look)) {
    widget->installEventFilter(this);
  }
  std::string painted;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = look_();
    return false;
  }

 private:
  std::function<std::string()> look_;
};

TEST(PendingUpdates, ShowsTheLastTextsAndValuesAndPaintsThemAtOnce) {
  const auto w = New<ProgressWindow>();
  w->Constructor();
  w->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->Widget()));
  const Ref<StaticText> status = w->ControlByName<StaticText>("Status");
  const Ref<ProgressBar> bar = w->ControlByName<ProgressBar>("Bar");
  auto* label = static_cast<QLabel*>(status->Widget());
  auto* qbar = static_cast<QProgressBar*>(bar->Widget());
  PaintRecorder labelPaints(label, [label] { return label->text().toStdString(); });
  PaintRecorder barPaints(qbar, [qbar] { return std::to_string(qbar->value()); });

  // As a run reports its files, faster than the display shows frames.
  for (int i = 1; i <= 20; ++i) {
    bar->SetValue(i);
    status->SetText(Str(i) + " of 20");
    w->Refresh(true);
    w->UpdateNow();
  }
  ShowPendingUpdates();
  EXPECT_EQ(label->text().toStdString(), "20 of 20");
  EXPECT_EQ(labelPaints.painted, "20 of 20");
  EXPECT_EQ(qbar->value(), 20);
  EXPECT_EQ(barPaints.painted, "20");
  w->Close();
}

}  // namespace
}  // namespace kolvane
