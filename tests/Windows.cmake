# The tests of the Windows cross build. Each program is one CTest test run under Wine (the
# toolchain's emulator); listing the cases would start Wine once per case. A case left out
# under Wine is named in its program's EXCLUDE with the reason beside it.

# The test helpers' few POSIX calls, over the Windows runtime, for every target of the tests.
include_directories(BEFORE ${CMAKE_CURRENT_LIST_DIR}/windows/compat)
add_compile_options(-include PosixCompat.h)
link_libraries(psapi)

function(quendry_windows_test name label timeout exclude)
  set(filter)
  if(exclude)
    list(JOIN exclude ":" excluded)
    set(filter --gtest_filter=-${excluded})
  endif()
  # Its result file is what scripts/test-windows counts; relative, as a path from the root
  # without a drive letter means the current drive to the program.
  file(RELATIVE_PATH results ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR}/test-results/${name}.xml)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${filter} --gtest_output=xml:${results})
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout})
endfunction()

# A test of the simulated online services talks to them through their control port: its header
# stands in for the server's own, so it must come before the source tree's.
set(QUENDRY_REMOTE_SIM_HEADERS ${CMAKE_CURRENT_LIST_DIR}/core/http/windows)
function(quendry_use_remote_sim target)
  target_include_directories(${target} BEFORE PRIVATE ${QUENDRY_REMOTE_SIM_HEADERS})
  target_link_libraries(${target} PRIVATE quendry_remote_sim)
endfunction()
