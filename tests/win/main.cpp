// The test program's main: one single-threaded apartment with OLE for every suite, as a form
// host has.
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "win/com_handles.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const kivostrel::com::OleSession ole;
  if (FAILED(ole.status())) {
    fprintf(stderr, "OleInitialize failed\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
