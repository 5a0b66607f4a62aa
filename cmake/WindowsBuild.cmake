# What the Windows cross build holds. The rest of the program needs wxWidgets, OpenSSL and the
# simulators, which Debian does not ship for mingw; it is built and tested natively.
find_package(Threads REQUIRED)

include_directories(${CMAKE_SOURCE_DIR})
include(cmake/QuendryLibrary.cmake)

add_subdirectory(platform)
add_subdirectory(core)

# The Windows-only files of the user interface that need no wxWidgets: the certificate file and
# the shell's "open".
add_library(quendry_ui_win32 STATIC
  ui/cards/CertificateFile_win32.cpp ui/DocumentLauncher_win32.cpp)
target_link_libraries(quendry_ui_win32 PUBLIC quendry_core shell32)

if(QUENDRY_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
