# GoogleTest: the packaged library natively; built from the packaged sources
# with the cross compiler for the Windows tests.
if(WIN32)
  set(GATEWISE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GATEWISE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# Runs a Windows test program under Wine on a virtual display, from the native build.
set(GATEWISE_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
