// The test program's main: one single-threaded apartment with OLE for every suite, as a form
// host has.
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "win/com_handles.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int result = 0;
  {
    const kivostrel::com::OleSession ole;
    if (FAILED(ole.status())) {
      fprintf(stderr, "OleInitialize failed\n");
      return 1;
    }
    result = RUN_ALL_TESTS();
  }
  // Under Wine a suite's process was seen, rarely, not to exit after its last test: this line
  // tells whether OLE's shutdown or the process's own exit was where it stopped.
  fprintf(stderr, "OLE shut down; the process exits\n");
  fflush(stderr);
  return result;
}
