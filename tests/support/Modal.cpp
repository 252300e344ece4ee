#include "Modal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include <gtest/gtest.h>

namespace kolvane::test {
namespace {

std::vector<QPushButton*> VisibleButtons(QWidget* dialog) {
  std::vector<QPushButton*> out;
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->isVisibleTo(dialog)) out.push_back(b);
  }
  std::sort(out.begin(), out.end(), [dialog](QPushButton* a, QPushButton* b) {
    return a->mapTo(dialog, QPoint(0, 0)).x() < b->mapTo(dialog, QPoint(0, 0)).x();
  });
  return out;
}

}  // namespace

SeenDialog Describe(QWidget* dialog) {
  SeenDialog d;
  d.title = dialog->windowTitle().toStdString();
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    d.text = box->text().toStdString();
  } else {
    std::vector<std::string> lines;
    for (QLabel* l : dialog->findChildren<QLabel*>()) {
      if (l->isVisibleTo(dialog) && !l->text().isEmpty()) lines.push_back(l->text().toStdString());
    }
    for (std::size_t i = 0; i < lines.size(); ++i) d.text += (i ? "\n" : "") + lines[i];
  }
  for (QPushButton* b : VisibleButtons(dialog)) {
    d.buttons.push_back(b->text().toStdString());
    if (b->isDefault()) d.defaultButton = b->text().toStdString();
  }
  if (QWidget* content = dialog->findChild<QWidget*>("content")) d.height = content->height();
  return d;
}

Answer PressDefault() {
  return [](QWidget* dialog) {
    QTest::keyClick(dialog, Qt::Key_Return);
  };
}

Answer Press(const std::string& caption) {
  return [caption](QWidget* dialog) {
    for (QPushButton* b : VisibleButtons(dialog)) {
      if (b->text().toStdString() == caption) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    ADD_FAILURE() << "no button " << caption;
  };
}

Answer PressEscape() {
  return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
}

Answer ChoosePath(const std::string& path) {
  return [path](QWidget* dialog) {
    auto* fd = qobject_cast<QFileDialog*>(dialog);
    if (!fd) {
      ADD_FAILURE() << "not a file dialog: " << Describe(dialog).text;
      return;
    }
    auto* field = fd->findChild<QLineEdit*>("fileNameEdit");
    if (!field) {
      ADD_FAILURE() << "file dialog without a path field";
      return;
    }
    field->setText(QString::fromStdString(path));
    QTest::keyClick(field, Qt::Key_Return);
  };
}

Answer CancelDialog() {
  return [](QWidget* dialog) {
    QTest::keyClick(dialog, Qt::Key_Escape);
  };
}

Answer Run(std::function<void(QWidget*)> action) { return action; }

ModalAnswerer::ModalAnswerer(std::deque<Answer> answers) : answers_(std::move(answers)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(5);
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

void ModalAnswerer::Poll() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (!dialog || !dialog->isVisible() || dialog->property("kvAnswered").toBool()) return;
  dialog->setProperty("kvAnswered", true);
  seen_.push_back(Describe(dialog));
  Answer answer = PressDefault();
  if (!answers_.empty()) {
    answer = std::move(answers_.front());
    answers_.pop_front();
  }
  answer(dialog);
}

std::vector<std::string> ModalAnswerer::Texts() const {
  std::vector<std::string> out;
  for (const SeenDialog& d : seen_) out.push_back(d.text);
  return out;
}

void Pump(int milliseconds) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(1);
  }
}

bool PumpUntil(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(1);
  }
  return true;
}

}  // namespace kolvane::test
