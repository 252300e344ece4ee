// The real program, started as its own process.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "tests/support/Modal.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"

namespace kolvane {
namespace {

namespace fs = std::filesystem;
using test::TopLevel;

QString ProgramPath() { return QString::fromStdString((fs::path(KOLVANE_BUNDLE_DIR) / "bin" / "Kolvane").string()); }

QProcessEnvironment Environment(const test::TempDir& config) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.path().string()));
  env.remove("QT_QPA_PLATFORM");
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  return env;
}

bool StaysUp(QProcess& program, int milliseconds) {
  return !program.waitForFinished(milliseconds) && program.state() == QProcess::Running;
}

void End(QProcess& program) {
  if (program.state() == QProcess::NotRunning) return;
  program.terminate();
  if (!program.waitForFinished(5000)) program.kill();
  program.waitForFinished(5000);
}

TEST(Program, StartsOnTheOffscreenPlatformAndCreatesItsPreferences) {
  const test::TempDir config;
  QProcess program;
  QProcessEnvironment env = Environment(config);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForStarted(5000));
  EXPECT_TRUE(test::PumpUntil([&] { return fs::exists(config / "Kolvane_Prefs.txt"); }, 10000));
  EXPECT_TRUE(StaysUp(program, 1500)) << program.readAllStandardError().toStdString();
  EXPECT_EQ(fs::file_size(config / "Kolvane_Prefs.txt"), 0u);
  End(program);
}

TEST(Program, SaysSoWhenThereIsNoDisplay) {
  const test::TempDir config;
  QProcess program;
  program.setProcessEnvironment(Environment(config));
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1);
  const QString said = QString::fromLocal8Bit(program.readAllStandardError()).trimmed();
  EXPECT_EQ(said.count('\n'), 0) << said.toStdString();
  EXPECT_TRUE(said.contains("no display")) << said.toStdString();
  EXPECT_FALSE(fs::exists(config / "Kolvane_Prefs.txt"));
}

// ---- On a virtual X display

// The windows are told apart by their design sizes; the main window's height adds its menu
// bar. The toolkit's own hidden windows and the error alert may carry the name "Kolvane" too.
bool IsMainWindowSize(const TopLevel& w) { return w.width == 448 && w.height > 360; }
bool IsMainWindow(const TopLevel& w) { return w.name == "Kolvane" && IsMainWindowSize(w); }
bool IsAboutBox(const TopLevel& w) { return w.width == 499 && w.height == 165; }
// Before the error alert is dismissed, the splash is the only other window shown.
bool IsAlert(const TopLevel& w) { return !IsAboutBox(w) && !IsMainWindowSize(w); }

constexpr int kWait = 30000;

class OnADisplay : public testing::Test {
 protected:
  void SetUp() override {
    if (!display.Available()) GTEST_SKIP() << "no Xvfb, xwininfo and xdotool here";
  }
  void TearDown() override { End(program); }

  // Starts the program; with brokenPreferences its Preferences folder is a plain file, so
  // the preferences cannot be set up and start-up reports it.
  void Start(bool brokenPreferences = false) {
    QProcessEnvironment env = Environment(config);
    env.insert("DISPLAY", display.Name());
    if (brokenPreferences) {
      test::WriteFile(config / "not-a-folder", "");
      env.insert("XDG_CONFIG_HOME", QString::fromStdString((config / "not-a-folder").string()));
    }
    program.setProcessEnvironment(env);
    program.start(ProgramPath(), {});
    ASSERT_TRUE(program.waitForStarted(5000));
  }

  std::optional<TopLevel> WaitFor(const std::function<bool(const TopLevel&)>& match, int milliseconds = kWait) {
    std::optional<TopLevel> found;
    test::PumpUntil([&] { return (found = display.Shown(match)).has_value(); }, milliseconds);
    return found;
  }
  bool Shown(std::uint32_t id) {
    return display.Shown([id](const TopLevel& w) { return w.id == id; }).has_value();
  }

  std::string Said() { return program.readAllStandardError().toStdString(); }
  std::string Windows() {
    std::string out;
    for (const TopLevel& w : display.TopLevels()) {
      out += "\n  \"" + w.name + "\" " + std::to_string(w.width) + "x" + std::to_string(w.height) +
             (w.viewable ? " shown" : "");
    }
    return out;
  }

  test::VirtualDisplay display;
  test::TempDir config;
  QProcess program;
};

TEST_F(OnADisplay, OpensTheMainWindowWithTheSplashInFrontUntilItCloses) {
  // Read from the server's notifications, so that the 3-second splash need not be caught.
  test::StackingLog log(display);
  Start();
  bool bothShown = false, mainInFront = false, splashClosed = false;
  const auto look = [&](const std::vector<TopLevel>& stack) {
    const auto at = [&](bool (*match)(const TopLevel&)) {
      const auto it = std::find_if(stack.begin(), stack.end(), [&](const TopLevel& w) { return w.viewable && match(w); });
      return it == stack.end() ? -1 : static_cast<int>(it - stack.begin());
    };
    const int splash = at(IsAboutBox);
    const int main = at(IsMainWindowSize);
    if (splash >= 0 && main >= 0) {
      bothShown = true;
      mainInFront = mainInFront || main > splash;
    }
    splashClosed = splashClosed || (bothShown && splash < 0);
  };
  EXPECT_TRUE(test::PumpUntil([&] { return log.Read(look), splashClosed; }, 60000)) << Windows() << Said();
  EXPECT_TRUE(bothShown);
  EXPECT_FALSE(mainInFront) << "the main window came in front of the splash";
  EXPECT_TRUE(display.Shown(IsMainWindow)) << Windows();
  EXPECT_TRUE(StaysUp(program, 1000));
  EXPECT_TRUE(fs::exists(config / "Kolvane_Prefs.txt"));
}

TEST_F(OnADisplay, AFailedStartIsReportedInAnAlertWithAnEmptyTitle) {
  Start(true);
  const std::optional<TopLevel> alert = WaitFor(IsAlert);
  ASSERT_TRUE(alert) << Windows() << Said();
  // Both names a window manager may show are there, and empty: xprop prints nothing after "=".
  const QString names = display.Run("xprop", {"-id", QString::number(alert->id), "_NET_WM_NAME", "WM_NAME"});
  const auto empty = [&](const char* line) {
    return names.split('\n').contains(QString::fromLatin1(line));
  };
  EXPECT_TRUE(empty("_NET_WM_NAME(UTF8_STRING) = ")) << names.toStdString();
  EXPECT_TRUE(empty("WM_NAME(STRING) = ")) << names.toStdString();
}

// The program's standard Quit, from its menu, ends it cleanly; also when it runs without
// its main window because its preferences could not be set up.
class ProgramQuits : public OnADisplay, public testing::WithParamInterface<bool> {};

TEST_P(ProgramQuits, QuitFromTheMenuEndsItCleanly) {
  const bool brokenPreferences = GetParam();
  Start(brokenPreferences);
  std::optional<TopLevel> withMenu;
  if (brokenPreferences) {
    // The error report comes first; Return dismisses it, and then a window of the program's
    // own keeps About and Quit within reach.
    const std::optional<TopLevel> alert = WaitFor(IsAlert);
    ASSERT_TRUE(alert) << Windows() << Said();
    for (int tries = 0; tries < 5 && Shown(alert->id); ++tries) {
      if (display.Focus(alert->id)) display.Key("Return");
      test::PumpUntil([&] { return !Shown(alert->id); }, 5000);
    }
    ASSERT_FALSE(Shown(alert->id)) << Windows();
    withMenu = WaitFor([&](const TopLevel& w) { return w.name == "Kolvane" && w.id != alert->id; });
    ASSERT_TRUE(withMenu) << Windows() << Said();
    EXPECT_FALSE(IsMainWindowSize(*withMenu));
    EXPECT_TRUE(StaysUp(program, 500));
  } else {
    withMenu = WaitFor(IsMainWindow);
    ASSERT_TRUE(withMenu) << Windows() << Said();
  }
  ASSERT_TRUE(display.Focus(withMenu->id)) << Windows();
  display.Key("ctrl+q");
  ASSERT_TRUE(program.waitForFinished(kWait)) << "still running after Quit";
  const std::string said = Said();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << said;
  EXPECT_EQ(program.exitCode(), 0) << said;
  if (brokenPreferences) {
    EXPECT_FALSE(display.Shown(IsMainWindowSize)) << Windows();
  }
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramQuits, testing::Values(false, true),
                         [](const auto& param) { return param.param ? "WithoutMainWindow" : "WithMainWindow"; });

// A folder run asks for the Escape key's state, not for key events: the key was pressed
// while another program had the keyboard, and the display repeats no key, so Kolvane
// never receives it.
class FolderRunOnADisplay : public OnADisplay {
 protected:
  void TearDown() override {
    display.KeyUp("Escape");
    End(other);
    OnADisplay::TearDown();
  }
  // Clicks a control of the main window at its design position.
  void ClickAt(int x, int y) { display.Click(main.x + x, main.y + main.height - 360 + y); }
  // "Select..." opens the folder dialog; the path is typed and Return accepts it.
  void ChooseFolder(int buttonTop, const fs::path& folder) {
    ClickAt(342 + 43, buttonTop + 11);
    const std::optional<TopLevel> dialog = WaitFor([](const TopLevel& w) { return w.name == "Find Directory"; });
    ASSERT_TRUE(dialog) << Windows() << Said();
    ASSERT_TRUE(display.Focus(dialog->id));
    display.Key("ctrl+a");
    display.TypeText(QString::fromStdString(folder.string()));
    display.Key("Return");
    ASSERT_TRUE(test::PumpUntil([&] { return !Shown(dialog->id); }, kWait)) << Windows();
  }

  test::TempDir files;
  TopLevel main;
  QProcess other;
};

TEST_F(FolderRunOnADisplay, EscapeHeldWhileAnotherProgramHasTheKeyboardStopsIt) {
  const fs::path source = files / "Letters";
  fs::create_directories(source / "Old");
  for (int i = 0; i < 20; ++i) {
    test::WriteFile(source / ("letter" + std::to_string(i) + ".txt"), "Gr\x9f\x8e");
    test::WriteFile(source / "Old" / ("note" + std::to_string(i) + ".txt"), "caf\x8e");
  }
  const fs::path target = files / "Out";
  fs::create_directory(target);

  Start();
  const std::optional<TopLevel> shown = WaitFor(IsMainWindow);
  ASSERT_TRUE(shown) << Windows() << Said();
  main = *shown;
  // The splash lies over the folder buttons until it closes.
  ASSERT_TRUE(test::PumpUntil([&] { return !display.Shown(IsAboutBox); }, kWait)) << Windows();
  ClickAt(230, 81);  // the "Batch Conversion" tab
  ChooseFolder(130, source);
  ASSERT_FALSE(HasFatalFailure());
  ChooseFolder(176, target);
  ASSERT_FALSE(HasFatalFailure());

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display.Name());
  other.setProcessEnvironment(env);
  other.start("xmessage", {"-geometry", "+0+0", "Another program"});
  const std::optional<TopLevel> xmessage = WaitFor([](const TopLevel& w) { return w.name == "xmessage"; });
  ASSERT_TRUE(xmessage) << Windows();
  ASSERT_TRUE(display.Focus(xmessage->id));
  display.KeyDown("Escape");
  ClickAt(276 + 75, 238 + 10);  // "Batch Convert"

  const auto notice = WaitFor([](const TopLevel& w) { return QString::fromStdString(w.name).endsWith(" - Hinweis!"); }, 60000);
  ASSERT_TRUE(notice) << Windows() << Said();
  EXPECT_TRUE(fs::is_directory(target / "Letters_Converted"));
  EXPECT_EQ(test::Tree(target / "Letters_Converted"), std::vector<std::string>{});
}

}  // namespace
}  // namespace kolvane
