// Shows texts readably in test failures.
#pragma once

#include <ostream>

#include "platform/String.h"

namespace kolvane {
inline void PrintTo(const String& s, std::ostream* os) { *os << '"' << s.Bytes() << '"'; }
}  // namespace kolvane
