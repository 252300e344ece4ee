#include "Runtime.h"

#include <QCoreApplication>

namespace kolvane {

void RuntimeBackgroundTask() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

}  // namespace kolvane
