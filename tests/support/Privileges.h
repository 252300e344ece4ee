// Permission tests mean nothing to root, who may read and write everything.
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#define KOLVANE_SKIP_IF_ROOT() \
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root"
