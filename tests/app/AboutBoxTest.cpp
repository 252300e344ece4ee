#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include "app/AboutWindow.h"
#include "app/FileTypes.h"
#include "app/Pictures.h"
#include "platform/FileType.h"
#include "tests/support/Bundle.h"
#include "tests/support/Modal.h"
#include "tests/support/Printers.h"

namespace kolvane {
namespace {

using test::Pump;
using test::PumpUntil;
using test::TestBundle;

Ref<StaticText> VersionLabel(const Ref<class AboutWindow>& box) {
  return box->ControlByName<StaticText>("StaticText3");
}

TEST(AboutBox, ShowsTheBackdropAndTheLongVersion) {
  TestBundle bundle(true);
  const Ref<class AboutWindow> box = AboutWindow();
  EXPECT_EQ(VersionLabel(box)->Text(), String("v.1.0.0"));
  EXPECT_EQ(box->Title(), String("About Kolvane"));
  EXPECT_EQ(box->ContentWidget()->size(), QSize(499, 165));
  EXPECT_EQ(VersionLabel(box)->Widget()->geometry(), QRect(369, 78, 42, 16));
  ASSERT_TRUE(box->Backdrop());
  EXPECT_EQ(box->Backdrop()->Width(), 499);
  box->Show();
  box->Widget()->grab().save(QString::fromStdString((test::ScreenshotFolder() / "AboutWindow.png").string()));
  box->Close();
}

TEST(AboutBox, ClosesItself3000MillisecondsAfterItWasCreated) {
  const Ref<class AboutWindow> box = AboutWindow();
  const Ref<Timer> timer = box->ControlByName<Timer>("CloseTimer");
  EXPECT_EQ(timer->Mode(), 1);
  EXPECT_EQ(timer->Period(), 3000);
  EXPECT_TRUE(timer->IsRunning());
  QElapsedTimer clock;
  clock.start();
  box->ShowModal();  // returns when the timer has closed it
  EXPECT_GE(clock.elapsed(), 2850);
  EXPECT_FALSE(box->IsOpen());
  EXPECT_EQ(timer->Mode(), 0);
}

TEST(AboutBox, AClickClosesItAndNoTimerFollows) {
  const Ref<class AboutWindow> box = AboutWindow();
  box->Show();
  QTest::mouseClick(box->ContentWidget(), Qt::LeftButton, {}, QPoint(100, 40));
  EXPECT_FALSE(box->IsOpen());
  EXPECT_FALSE(box->ControlByName<Timer>("CloseTimer")->IsRunning());
  // A click on the version label closes it as well.
  const Ref<class AboutWindow> next = AboutWindow();
  EXPECT_NE(next.get(), box.get());
  next->Show();
  QTest::mouseClick(VersionLabel(next)->Widget(), Qt::LeftButton);
  EXPECT_FALSE(next->IsOpen());
}

TEST(AboutBox, WithItsTimerOffOnlyAClickClosesIt) {
  const Ref<class AboutWindow> box = AboutWindow();
  box->Show();
  AboutWindow()->ControlByName<Timer>("CloseTimer")->SetMode(0);
  EXPECT_EQ(AboutWindow().get(), box.get());
  QTimer::singleShot(50, [box] { QTest::mouseClick(box->ContentWidget(), Qt::LeftButton); });
  box->ShowModal();
  EXPECT_FALSE(box->IsOpen());
  // Opened again, the box is new: its timer runs and its label is filled again.
  const Ref<class AboutWindow> again = AboutWindow();
  EXPECT_TRUE(again->ControlByName<Timer>("CloseTimer")->IsRunning());
  EXPECT_EQ(VersionLabel(again)->Text(), String("v.1.0.0"));
  again->Close();
}

TEST(AboutBox, OpensWithoutItsPicture) {
  TestBundle bundle(false);
  const Ref<class AboutWindow> box = AboutWindow();
  EXPECT_TRUE(box->IsOpen());
  EXPECT_EQ(VersionLabel(box)->Text(), String("v.1.0.0"));
  box->Close();
}

// The accessors keep their state for the life of the program, so their whole story is
// told in one test: missing, found once added, then kept.
TEST(BundlePictures, MissingPicturesAreLookedForAgainAndLoadedOnesKept) {
  TestBundle bundle(false);
  if (about() || Ordner()) GTEST_SKIP() << "pictures were loaded earlier in this process";
  EXPECT_FALSE(about());
  EXPECT_FALSE(TrafficCone());
  EXPECT_FALSE(Ordner());
  bundle.AddPictures();
  const Ref<Picture> folder = Ordner();
  ASSERT_TRUE(folder);
  EXPECT_EQ(Ordner().get(), folder.get());  // one picture for every button
  std::filesystem::remove(bundle.Resources() / "Ordner.pct");
  EXPECT_EQ(Ordner().get(), folder.get());  // read once, then kept

  // White draws as transparent on the icons, and as white on the backdrop.
  EXPECT_EQ(folder->Transparent(), 1);
  EXPECT_EQ(qAlpha(folder->Image().pixel(0, 0)), 0);
  ASSERT_TRUE(TrafficCone());
  EXPECT_EQ(qAlpha(TrafficCone()->Image().pixel(0, 0)), 0);
  ASSERT_TRUE(about());
  EXPECT_EQ(about()->Transparent(), 0);
  EXPECT_EQ(about()->Width(), 499);
  EXPECT_EQ(about()->Height(), 165);
  EXPECT_EQ(qAlpha(about()->Image().pixel(0, 0)), 255);
}

TEST(FileTypesAtStartUp, RegistersTextAndBinaryByName) {
  FileTypes::_Initialize();
  ASSERT_TRUE(FileTypes::pTextPlain);
  EXPECT_EQ(FileTypes::pTextPlain->Name, String("text"));
  EXPECT_EQ(FileTypes::pTextPlain->Extensions, String(".txt;.ascii;.text;.tab.;.csv;.vcf;."));
  EXPECT_EQ(Len(FileTypes::pTextPlain->Extensions), 35);
  EXPECT_EQ(FileTypes::pTextPlain->MacType, String("????"));
  EXPECT_EQ(FileTypes::pApplicationBinary->Name, String("application/binary"));
  EXPECT_TRUE(FileTypes::pApplicationBinary->Extensions.IsEmpty());
  EXPECT_TRUE(FileTypeRegistered("text"));
  EXPECT_TRUE(FileTypeRegistered("application/binary"));
  // "????" is the wildcard type: any file is text to the dialog and the drop panel.
  EXPECT_TRUE(FileTypeAccepts("text", FolderItem("/tmp/notes.md")));
  EXPECT_EQ(FileTypeFilter("text"), String("text (*)"));
}

}  // namespace
}  // namespace kolvane
