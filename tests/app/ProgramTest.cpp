// The real program, started as its own process.
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/Modal.h"
#include "tests/support/TempDir.h"

namespace kolvane {
namespace {

namespace fs = std::filesystem;

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

// A virtual X display, where the program's windows can be seen from outside.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xwininfo").isEmpty()) return;
    for (int n = 90 + (::getpid() % 100); n < 400; ++n) {
      if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
        continue;
      }
      name_ = ":" + QString::number(n);
      server_.start("Xvfb", {name_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
      if (server_.waitForStarted(5000) &&
          test::PumpUntil([&] { return fs::exists("/tmp/.X11-unix/X" + std::to_string(n)); }, 5000)) {
        return;
      }
      server_.kill();
      server_.waitForFinished(2000);
      name_.clear();
    }
  }
  ~VirtualDisplay() {
    if (server_.state() != QProcess::NotRunning) {
      server_.terminate();
      if (!server_.waitForFinished(3000)) server_.kill();
      server_.waitForFinished(3000);
    }
  }
  bool Available() const { return !name_.isEmpty(); }
  const QString& Name() const { return name_; }
  // The names of the windows on the display.
  QString Windows() const {
    QProcess info;
    info.start("xwininfo", {"-display", name_, "-root", "-tree"});
    info.waitForFinished(5000);
    return QString::fromLocal8Bit(info.readAllStandardOutput());
  }
  // The id of the visible window of that name, or empty.
  QString Visible(const QString& window) const {
    const QString out = Xdotool({"search", "--onlyvisible", "--name", "^" + window + "$"});
    return out.section('\n', 0, 0).trimmed();
  }
  // Types keys as a user would, into the visible window of that name when one is given.
  bool Type(const QString& keys, const QString& window = QString()) const {
    if (!window.isEmpty()) {
      const QString id = Visible(window);
      if (id.isEmpty()) return false;
      Xdotool({"windowfocus", "--sync", id});
    }
    Xdotool({"key", keys});
    return true;
  }

 private:
  QString Xdotool(const QStringList& arguments) const {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", name_);
    tool.setProcessEnvironment(env);
    tool.start("xdotool", arguments);
    tool.waitForFinished(5000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
  }

  QProcess server_;
  QString name_;
};

TEST(Program, OpensTheSplashAndTheMainWindowOnADisplay) {
  VirtualDisplay display;
  if (!display.Available()) GTEST_SKIP() << "no Xvfb and xwininfo here";
  const test::TempDir config;
  QProcess program;
  QProcessEnvironment env = Environment(config);
  env.insert("DISPLAY", display.Name());
  program.setProcessEnvironment(env);
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForStarted(5000));
  EXPECT_TRUE(test::PumpUntil([&] { return display.Windows().contains("\"Kolvane\""); }, 15000))
      << display.Windows().toStdString() << program.readAllStandardError().toStdString();
  EXPECT_TRUE(display.Windows().contains("\"About Kolvane\""));
  EXPECT_TRUE(StaysUp(program, 1000));
  EXPECT_TRUE(fs::exists(config / "Kolvane_Prefs.txt"));
  End(program);
}

// The program's standard Quit, from its menu, ends it cleanly; also when it runs without
// its main window because its preferences could not be set up.
class ProgramOnADisplay : public testing::TestWithParam<bool> {};

TEST_P(ProgramOnADisplay, QuitFromTheMenuEndsItCleanly) {
  const bool brokenPreferences = GetParam();
  VirtualDisplay display;
  if (!display.Available() || QStandardPaths::findExecutable("xdotool").isEmpty()) {
    GTEST_SKIP() << "no Xvfb, xwininfo and xdotool here";
  }
  const test::TempDir config;
  QProcess program;
  QProcessEnvironment env = Environment(config);
  env.insert("DISPLAY", display.Name());
  if (brokenPreferences) {
    test::WriteFile(config / "not-a-folder", "");
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((config / "not-a-folder").string()));
  }
  program.setProcessEnvironment(env);
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForStarted(5000));
  ASSERT_TRUE(test::PumpUntil([&] { return !display.Visible("About Kolvane").isEmpty(); }, 15000));
  if (brokenPreferences) {
    // The error report is in front; Return dismisses it, and a window with the menu
    // keeps About and Quit within reach.
    ASSERT_TRUE(test::PumpUntil(
        [&] {
          display.Type("Return");
          return !display.Visible("Kolvane").isEmpty();
        },
        10000));
    EXPECT_TRUE(StaysUp(program, 500));
  }
  ASSERT_TRUE(test::PumpUntil([&] { return !display.Visible("Kolvane").isEmpty(); }, 10000));
  ASSERT_TRUE(display.Type("ctrl+q", "Kolvane"));
  ASSERT_TRUE(program.waitForFinished(10000)) << "still running after Quit";
  const std::string said = program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << said;
  EXPECT_EQ(program.exitCode(), 0) << said;
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramOnADisplay, testing::Values(false, true),
                         [](const auto& param) { return param.param ? "WithoutMainWindow" : "WithMainWindow"; });

}  // namespace
}  // namespace kolvane
