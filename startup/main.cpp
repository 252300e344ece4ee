// Kolvane: converts text files between encodings and line breaks.
#include "App.h"
#include "platform/Runtime.h"
#include "platform/Startup.h"

int main(int argc, char** argv) {
  return kolvane::RunApplication(argc, argv, [] {
    kolvane::_InitFileTypes();
    kolvane::_NewAppInstance();
    kolvane::_ApplicationAddMenuHandlers();
  });
}
