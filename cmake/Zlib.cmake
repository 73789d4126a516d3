# zlib, for the PNG decoder: in the Windows build Debian's static zlib for
# mingw-w64 (package libz-mingw-w64-dev), so that the programs need no
# zlib1.dll; in the native build the system's (zlib1g-dev). Provides ZLIB::ZLIB.
include_guard(GLOBAL)
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB)
if(NOT ZLIB_FOUND)
  message(FATAL_ERROR "zlib is missing: run scripts/install-deps.sh")
endif()
if(WIN32 AND NOT ZLIB_LIBRARIES MATCHES "(^|/)libz\\.a$")
  message(FATAL_ERROR "The static zlib for mingw-w64 was not found (found ${ZLIB_LIBRARIES}): "
                      "run scripts/install-deps.sh")
endif()
