# GoogleTest for the mingw-w64 cross build, compiled from Debian's sources in /usr/src/googletest
# (the packaged libgtest.a is a Linux library). Defines the static library kivostrel_gtest with
# the include directory set; tests link gtest_main's own main() or write their own.
set(KIVOSTREL_GTEST_SOURCE_DIR "/usr/src/googletest/googletest"
    CACHE PATH "GoogleTest sources (googletest folder) for the cross build")

if(NOT EXISTS "${KIVOSTREL_GTEST_SOURCE_DIR}/src/gtest-all.cc")
  message(FATAL_ERROR "GoogleTest sources not found in ${KIVOSTREL_GTEST_SOURCE_DIR} "
                      "(Debian package googletest, pulled in by libgtest-dev)")
endif()

if(NOT TARGET kivostrel_gtest)
  add_library(kivostrel_gtest STATIC "${KIVOSTREL_GTEST_SOURCE_DIR}/src/gtest-all.cc")
  target_include_directories(kivostrel_gtest SYSTEM PUBLIC "${KIVOSTREL_GTEST_SOURCE_DIR}/include")
  target_include_directories(kivostrel_gtest PRIVATE "${KIVOSTREL_GTEST_SOURCE_DIR}")
  # mingw's win32 thread model has no std::mutex: GoogleTest's one use of it, Notification, is
  # replaced by a Win32 event (GoogleTest's own locks are Win32 critical sections already).
  target_compile_definitions(kivostrel_gtest PUBLIC GTEST_HAS_PTHREAD=0)
  target_compile_options(kivostrel_gtest PUBLIC
    -include "${CMAKE_CURRENT_LIST_DIR}/googletest-mingw-notification.h")
endif()
