# The tests of the Windows cross build. Each program is one CTest test run under Wine (the
# toolchain's emulator); listing the cases would start Wine once per case.
function(quendry_windows_test name label timeout exclude)
  # The shared test helpers' few POSIX calls, over the Windows runtime.
  target_include_directories(${name} BEFORE PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/windows/compat)
  target_compile_options(${name} PRIVATE -include PosixCompat.h)
  target_link_libraries(${name} PRIVATE psapi)
  set(filter)
  if(exclude)
    list(JOIN exclude ":" excluded)
    set(filter --gtest_filter=-${excluded})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${filter})
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout})
endfunction()

set(tests ${CMAKE_CURRENT_SOURCE_DIR})

quendry_add_test(platform_test LABEL unit
  SOURCES ${tests}/platform/Cp1252Test.cpp ${tests}/platform/DebugOutputTest.cpp
          ${tests}/platform/RegistryTest.cpp ${tests}/platform/PlatformWindowsTest.cpp
  LIBS quendry_platform
  # the store file's own cases, and Wine's order of subkeys, which is not Windows' order
  EXCLUDE Types/RegistryValueTypeTest.* RegistryTest.NamesCompareWithoutCaseAndKeepTheirFirstSpelling
          RegistryTest.MissingKeysAndBadPaths RegistryTest.EnumeratesSubKeysInWindowsOrder
          RegistryTest.AStoreThatCannotBeWrittenOrReadDeniesAccess
          RegistryTest.HivesLiveInTheirOwnFilesTheUserHiveByDefaultInTheConfigurationFolder
          RegistryTest.NothingIsCachedBetweenOperations
          RegistryTest.ConcurrentWritersLoseNothingAndReadersNeverSeeAHalfFile)

quendry_add_test(codec_tests LABEL unit
  SOURCES ${tests}/core/codec/Base64Test.cpp ${tests}/core/codec/ByteCodecTest.cpp
  LIBS quendry_core)
quendry_add_test(folders_tests LABEL unit
  SOURCES ${tests}/core/folders/PathUtilTest.cpp ${tests}/core/folders/PathUtilWindowsTest.cpp
  LIBS quendry_core
  # the slash as a separator: PathUtilWindowsTest.cpp has the Windows cases
  EXCLUDE JoinPath.* ParentFolder.* ExecutableFolderFromPath.* GetAppDataFolder.*)
quendry_add_test(logging_tests LABEL unit
  SOURCES ${tests}/core/logging/LoggerTest.cpp ${tests}/core/logging/LogFileNamesTest.cpp
          ${tests}/core/logging/LoggerRegistryTest.cpp ${tests}/core/logging/AppLogPathWindowsTest.cpp
  LIBS quendry_core
  # needs a symbolic link, which Wine cannot make
  EXCLUDE LoggerOpen.AnEarlierFileThatCannotBeCopiedAsideKeepsItsLines)
quendry_add_test(config_test LABEL unit
  SOURCES ${tests}/core/config/ConfigReadTest.cpp ${tests}/core/config/ConfigWriteTest.cpp
          ${tests}/core/config/ConfigTableTest.cpp ${tests}/core/config/TestRegistryStore_win32.cpp
          # the export format's reader and writer, to fill and show Wine's registry
          ${CMAKE_SOURCE_DIR}/platform/RegistryFormat_posix.cpp
  LIBS quendry_core)

# The probe DLL, beside the test programs and elsewhere.
foreach(place beside elsewhere)
  add_library(quendry_probe_${place} MODULE ${tests}/token/SharedModuleProbeWindows.cpp)
  set_target_properties(quendry_probe_${place} PROPERTIES OUTPUT_NAME quendryprobe PREFIX "")
  target_compile_definitions(quendry_probe_${place} PRIVATE QUENDRY_PROBE_PLACE="${place}")
endforeach()
set_target_properties(quendry_probe_elsewhere PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probe-elsewhere)

quendry_add_test(token_declarations LABEL unit
  SOURCES ${tests}/token/Pkcs11LayoutWin32Test.cpp ${tests}/token/Pkcs11LayoutWindowsTest.cpp
          ${tests}/token/SharedModuleWindowsTest.cpp
  LIBS quendry_platform)
target_compile_definitions(token_declarations PRIVATE
  QUENDRY_PROBE_ELSEWHERE="${CMAKE_BINARY_DIR}/probe-elsewhere/quendryprobe.dll")
add_dependencies(token_declarations quendry_probe_beside quendry_probe_elsewhere)

# The HTTP client over WinINet against the simulated online services, a Linux program reached
# through its control port (scripts/test-windows starts it); its header is replaced by the
# stand-in in core/http/windows.
quendry_add_test(http_client_tests LABEL integration TIMEOUT 300
  SOURCES ${tests}/core/http/HttpClientTest.cpp ${tests}/core/http/HttpTransportFaultTest.cpp
          ${tests}/core/http/HttpTlsProxyTest.cpp ${tests}/core/http/windows/HttpWinInetRequestTest.cpp
          ${tests}/core/http/windows/RemoteServer_win32.cpp
          ${CMAKE_SOURCE_DIR}/sim/onlineservices/Messages.cpp
  LIBS quendry_core ws2_32
  EXCLUDE
    # libcurl's header set and order; HttpWinInetRequestTest.cpp has WinINet's
    HttpRequestBytesTest.PostSendsPathOnlyTheFixedHeadersAndTheBodyUnchanged
    HttpRequestBytesTest.ExpectAndCacheControlNeverLeaveEvenWithALargeBody
    # Wine's WinINet cuts header lines at 4096 bytes, takes an answer without status line for
    # HTTP/0.9 and a cut-off or broken chunked body for a complete one
    HttpAnswerTest.RawHeadersAreKeptUpToTheirLimit HttpConnectionFaultTest.BrokenFramingFailsTheRequest
    # WinINet takes its proxy from the Windows settings, not from http_proxy
    HttpProxyTest.*
    # WinINet trusts only the system's certificate store, where a test CA has no place
    HttpTlsTest.TheTestCaIsTrustedForLoopbackByAddressAndByName)
target_include_directories(http_client_tests BEFORE PRIVATE ${tests}/core/http/windows)

# The Windows-only files of the user interface that need no wxWidgets.
quendry_add_test(ui_win32_files LABEL unit
  SOURCES ${tests}/ui/CertificateFileWindowsTest.cpp
  LIBS quendry_ui_win32)
