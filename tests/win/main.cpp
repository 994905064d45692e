// The test program's main: one single-threaded apartment with OLE for every suite, as a form
// host has.
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(::OleInitialize(nullptr))) {
    fprintf(stderr, "OleInitialize failed\n");
    return 1;
  }
  const int status = RUN_ALL_TESTS();
  ::OleUninitialize();
  return status;
}
