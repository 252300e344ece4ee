// Drops files and folders on a widget the way the desktop does: a drag entering it, then
// the drop, both carrying the paths as file URLs.
#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <vector>

namespace kolvane::test {

// Returns whether the widget took the drag in.
bool DropPaths(QWidget* target, const std::vector<std::filesystem::path>& paths);
// The same with any addresses, web addresses among them, in the order given.
bool DropUrls(QWidget* target, const QList<QUrl>& urls);

}  // namespace kolvane::test
