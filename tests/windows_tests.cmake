# One GoogleTest program per test folder: a Wine start costs more than a test.
# Files named *_rules_test.cpp are portable and run natively instead. Both
# trees build them: the 32-bit programs exercise what only the shipped Report
# does under WOW64 (the 32-bit registry view, the companion, redirection).

file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(test_support STATIC ${TEST_SUPPORT_SOURCES})
target_link_libraries(test_support PUBLIC report_core gtest)

set(WINDOWS_TEST_AREAS app log query modlist6 probes/system probes/browser probes/apps probes/process
  probes/window_lines)
foreach(area ${WINDOWS_TEST_AREAS})
  file(GLOB area_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${area}/*_test.cpp)
  list(FILTER area_sources EXCLUDE REGEX "_rules_test\\.cpp$")
  if(area_sources)
    string(REPLACE "/" "_" exe_name "${area}")
    string(REPLACE "probes_" "" exe_name "${exe_name}")
    add_executable(${exe_name}_tests ${area_sources})
    target_link_libraries(${exe_name}_tests PRIVATE test_support gtest_main ${STATIC_LINK})
    add_dependencies(${exe_name}_tests fixtures tools)
  endif()
endforeach()

# Test-only helper programs: one executable per source file. The 64-bit tree
# builds them all (tests start them as 64-bit processes); the 32-bit tree only
# the probe that tells whether 32-bit programs run at all.
add_custom_target(tools)
if(NOT ARCH_BITS EQUAL 64)
  add_executable(wow64_probe WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/wow64_probe.cpp)
  target_link_libraries(wow64_probe PRIVATE ${STATIC_LINK})
  add_dependencies(tools wow64_probe)
  # The walks' benchmark, for the build that ships.
  add_executable(probe_bench ${CMAKE_SOURCE_DIR}/tests/tools/probe_bench.cpp)
  target_link_libraries(probe_bench PRIVATE report_core ${STATIC_LINK})
  add_dependencies(tools probe_bench)
  return()
endif()
file(GLOB TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*.cpp)
list(FILTER TOOL_SOURCES EXCLUDE REGEX "/wow64_probe\\.cpp$")
foreach(src ${TOOL_SOURCES})
  get_filename_component(tool ${src} NAME_WE)
  add_executable(${tool} ${src})
  target_link_libraries(${tool} PRIVATE report_core ${STATIC_LINK})
  add_dependencies(tools ${tool})
endforeach()
# Report's own entry point, which limits the library search, in front of the
# probe's main (the crt calls main; Report's WinMain stays unused).
target_sources(search_probe PRIVATE ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_include_directories(search_probe PRIVATE ${CMAKE_SOURCE_DIR}/resources)
set_program_entry(search_probe ReportEntry)

# The stand-in companion carried the way Report carries Modlist6, so the link
# tests start it through the ordinary extraction.
set(STANDIN_RC ${CMAKE_BINARY_DIR}/standin_companion.rc)
file(CONFIGURE OUTPUT ${STANDIN_RC}
  CONTENT "\"MODLIST6.EXE\" RCDATA \"${CMAKE_BINARY_DIR}/bin/companion_standin.exe\"\n")
add_library(standin_companion SHARED ${CMAKE_SOURCE_DIR}/tests/fixtures/stub_dll.c ${STANDIN_RC})
set_target_properties(standin_companion PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set_source_files_properties(${STANDIN_RC} PROPERTIES OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/bin/companion_standin.exe)
target_link_options(standin_companion PRIVATE -static -Wl,--no-insert-timestamp)
add_dependencies(standin_companion companion_standin)
add_dependencies(tools standin_companion)
