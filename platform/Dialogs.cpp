#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "QtText.h"

namespace kolvane {

void MsgBox(const String& message) { MsgBox(message, 0, String()); }

std::int32_t MsgBox(const String& message, std::int32_t, const String& title) {
  if (!qApp) throw RuntimeException("no application to show a message box");
  QMessageBox box(QMessageBox::NoIcon, ToQString(title), ToQString(message), QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  return 1;
}

}  // namespace kolvane
