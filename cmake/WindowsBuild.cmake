# What the Windows cross build (cmake/mingw-w64.cmake) does differently. Its libraries come from
# the prefix that scripts/windows-deps built (CMAKE_PREFIX_PATH): static OpenSSL, wxWidgets for
# MSW through that prefix's wx-config, and the header-only RapidJSON copied there.
set(OPENSSL_USE_STATIC_LIBS ON)
find_program(wxWidgets_CONFIG_EXECUTABLE wx-config
  PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES bin NO_DEFAULT_PATH REQUIRED)
find_path(QUENDRY_RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
include_directories(SYSTEM ${QUENDRY_RAPIDJSON_INCLUDE_DIR})
