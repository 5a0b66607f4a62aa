# quendry_sources(<variable> <folder>)
# Every .cpp below <folder> that belongs to this system: files ending in _win32.cpp are built
# only on Windows, files ending in _posix.cpp only elsewhere.
function(quendry_sources variable folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# quendry_library(<target> <folder> LIBS ...)
# One static library from the sources of <folder>.
function(quendry_library target folder)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  quendry_sources(sources ${folder})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${L_LIBS})
  else()
    # header-only so far
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${L_LIBS})
  endif()
endfunction()
