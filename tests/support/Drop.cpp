#include "Drop.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace kolvane::test {

bool DropPaths(QWidget* target, const std::vector<std::filesystem::path>& paths) {
  QList<QUrl> urls;
  for (const std::filesystem::path& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
  return DropUrls(target, urls);
}

bool DropUrls(QWidget* target, const QList<QUrl>& urls) {
  QMimeData mime;
  mime.setUrls(urls);
  // Near the lower right corner, where a tab panel has neither tab titles nor controls.
  const QPoint at(target->width() - 5, target->height() - 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return true;
}

}  // namespace kolvane::test
