# The PNG picture (WIC decoding, alpha-blended drawing) as a library of its own, so
# that both the toolkit and the widgets can link it whichever folder comes first:
# include this file and link gatewise_picture.
include_guard(GLOBAL)
gatewise_library(gatewise_picture ${CMAKE_CURRENT_LIST_DIR}/Picture.cpp WINDOWS_ONLY)
if(WIN32)
  target_link_libraries(gatewise_picture PUBLIC gatewise_os windowscodecs ole32 uuid gdi32)
endif()
