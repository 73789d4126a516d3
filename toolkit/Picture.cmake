# The PNG decoder (portable: zlib and our own unfiltering, tested natively) and
# the picture made from it (a DIB section drawn with alpha blending), each a
# library of its own, so that both the toolkit and the widgets can link them
# whichever folder comes first: include this file and link gatewise_picture.
include_guard(GLOBAL)
include(${PROJECT_SOURCE_DIR}/cmake/Zlib.cmake)
gatewise_library(gatewise_png ${CMAKE_CURRENT_LIST_DIR}/PngImage.cpp)
target_link_libraries(gatewise_png PUBLIC ZLIB::ZLIB)
gatewise_library(gatewise_picture ${CMAKE_CURRENT_LIST_DIR}/Picture.cpp WINDOWS_ONLY)
if(WIN32)
  target_link_libraries(gatewise_picture PUBLIC gatewise_png gatewise_toolkit_layout gatewise_os gdi32)
endif()
