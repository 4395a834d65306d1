# Windows trees. win64: Modlist6, the runnable 64-bit build of Report and every
# Windows test. win32: the shipped 32-bit Report.exe and 32-bit fixture files.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800 NOMINMAX)
set(STATIC_LINK -static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp)
set(CMAKE_RC_FLAGS "-c 65001")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ARCH_BITS 64)
else()
  set(ARCH_BITS 32)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/delayload.cmake)

# Version reading and library loading shared by Report and Modlist6.
add_library(version_core STATIC query/version_info.cpp query/version_rules.cpp
  query/module_line_rules.cpp base/cp932_rules.cpp query/code_page.cpp query/system_library.cpp query/outside_file.cpp)
target_link_libraries(version_core PUBLIC delay_version)

# Everything of Report except its entry point and dialog template.
file(GLOB_RECURSE CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/base/*.cpp ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/log/*.cpp
  ${CMAKE_SOURCE_DIR}/query/*.cpp ${CMAKE_SOURCE_DIR}/probes/*.cpp)
list(FILTER CORE_SOURCES EXCLUDE REGEX "/app/main\\.cpp$")
list(FILTER CORE_SOURCES EXCLUDE REGEX "/(query/(version_info|version_rules|module_line_rules|code_page|system_library|outside_file)|base/cp932_rules)\\.cpp$")
add_library(report_core STATIC ${CORE_SOURCES})
# Only KnownDLLs in the import table; the others are delay-loaded.
target_link_libraries(report_core PUBLIC version_core shlwapi comdlg32 delay_wininet
  delay_winspool shell32 advapi32 user32 gdi32 kernel32)

# Both programs enter through a function that limits the library search
# before the C runtime starts (app/main.cpp, modlist6/modlist6.cpp).
function(set_program_entry target entry)
  if(ARCH_BITS EQUAL 32)
    set(entry _${entry})
  endif()
  target_link_options(${target} PRIVATE -Wl,-e,${entry})
endfunction()

function(add_report_exe name modlist6_exe)
  set(modlist6_exe ${modlist6_exe})
  configure_file(${CMAKE_SOURCE_DIR}/resources/report.rc.in ${CMAKE_BINARY_DIR}/${name}.rc @ONLY)
  add_executable(${name} WIN32 app/main.cpp ${CMAKE_BINARY_DIR}/${name}.rc)
  set_source_files_properties(${CMAKE_BINARY_DIR}/${name}.rc PROPERTIES
    OBJECT_DEPENDS "${modlist6_exe};${CMAKE_SOURCE_DIR}/resources/report.ico;${CMAKE_SOURCE_DIR}/resources/report.manifest")
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/resources)
  target_link_libraries(${name} PRIVATE report_core ${STATIC_LINK})
  set_program_entry(${name} ReportEntry)
  # 4 GB of address space under 64-bit Windows instead of 2: a run on a huge
  # machine keeps more of what it gathers. No code does signed arithmetic on
  # pointers; addresses are handled as uintptr_t throughout.
  if(ARCH_BITS EQUAL 32)
    target_link_options(${name} PRIVATE -Wl,--large-address-aware)
  endif()
endfunction()

if(ARCH_BITS EQUAL 64)
  add_executable(Modlist6 WIN32 modlist6/modlist6.cpp base/line_rules.cpp modlist6/modlist6.rc)
  file(GLOB MODLIST6_RULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/modlist6/*_rules.cpp)
  target_sources(Modlist6 PRIVATE ${MODLIST6_RULES})
  target_link_libraries(Modlist6 PRIVATE version_core ${STATIC_LINK})
  set_program_entry(Modlist6 Modlist6Entry)
  # Report built for x64: the same program, runnable where only 64-bit Wine exists.
  set(MODLIST6_EXE ${CMAKE_BINARY_DIR}/bin/Modlist6.exe)
  add_report_exe(Report64 ${MODLIST6_EXE})
  add_dependencies(Report64 Modlist6)
else()
  if(NOT MODLIST6_EXE)
    message(FATAL_ERROR "MODLIST6_EXE must name the Modlist6.exe of the 64-bit tree")
  endif()
  add_report_exe(Report ${MODLIST6_EXE})
  # The release build: the same program around the companion that the release
  # script leaves in release-link/ (signed, when a certificate is given). Built
  # only on request; it relinks Report and leaves bin/Report.exe alone.
  add_report_exe(ReportRelease ${CMAKE_BINARY_DIR}/release-link/Modlist6.exe)
  set_target_properties(ReportRelease PROPERTIES EXCLUDE_FROM_ALL ON OUTPUT_NAME Report
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/release-link/bin)
endif()

# GoogleTest for the Windows test programs.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

include(${CMAKE_SOURCE_DIR}/tests/fixtures/fixtures.cmake)
include(${CMAKE_SOURCE_DIR}/tests/windows_tests.cmake)
