#include "Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "FileType.h"
#include "Window.h"

#include "QtText.h"
#include "X11.h"

namespace kolvane {

void MsgBox(const String& message) { MsgBox(message, 0, String()); }

std::int32_t MsgBox(const String& message, std::int32_t, const String& title) {
  ShowPendingUpdates();
  if (!qApp) throw RuntimeException("no application to show a message box");
  QMessageBox box(QMessageBox::NoIcon, ToQString(title), ToQString(message), QMessageBox::Ok);
  // The message is shown as written, also when it looks like markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  // The toolkit would name a window without a title after the application.
  if (title.IsEmpty()) x11::ClearTitle(box);
  box.exec();
  return 1;
}

namespace {

// Qt's own dialogs, so that they look and behave alike on every desktop.
Ref<FolderItem> RunFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return nullptr;
  return New<FolderItem>(QFile::encodeName(dialog.selectedFiles().first()).toStdString());
}

}  // namespace

Ref<FolderItem> GetOpenFolderItem(const String& fileTypes) {
  if (!qApp) throw RuntimeException("no application to show a dialog");
  QFileDialog dialog;
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  QStringList filters;
  for (const QString& type : ToQString(fileTypes).split(';', Qt::SkipEmptyParts)) {
    filters << ToQString(FileTypeFilter(FromQString(type)));
  }
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  return RunFileDialog(dialog);
}

Ref<FolderItem> SelectFolder() {
  if (!qApp) throw RuntimeException("no application to show a dialog");
  QFileDialog dialog;
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  return RunFileDialog(dialog);
}

}  // namespace kolvane
