# Native tree: portable rules under sanitizers, fuzzers, and the ctest front for
# the Windows test programs (run under Wine) and the end-to-end tests.
enable_testing()
set(SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(portable STATIC ${PORTABLE_SOURCES})
target_compile_options(portable PRIVATE ${SAN_FLAGS})
target_link_options(portable PUBLIC ${SAN_FLAGS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB_RECURSE NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_rules_test.cpp)
add_executable(native_tests ${NATIVE_TESTS})
target_compile_options(native_tests PRIVATE ${SAN_FLAGS})
target_link_libraries(native_tests PRIVATE portable gtest_main)
add_test(NAME native_rules COMMAND native_tests)
# No include points up a floor, and no two probe folders include each other.
add_test(NAME layers COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/check-layers.py ${CMAKE_SOURCE_DIR})

# libFuzzer targets, built with clang; each runs briefly as a test. clang has
# no cp932 execution charset: literals stay UTF-8 there, which the fuzzed
# rules do not depend on.
set(FUZZ_SECONDS 20 CACHE STRING "seconds each fuzz target runs under ctest")
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(src ${FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  set(out ${CMAKE_BINARY_DIR}/fuzz/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz/${name}_corpus
    COMMAND clang++ -std=c++17 -g -O1 -I${CMAKE_SOURCE_DIR}
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
            ${src} ${PORTABLE_SOURCES} -o ${out}
    DEPENDS ${src} ${PORTABLE_SOURCES}
    COMMENT "fuzzer ${name}")
  add_custom_target(${name} ALL DEPENDS ${out})
  add_test(NAME ${name} COMMAND ${out} -max_total_time=${FUZZ_SECONDS} -rss_limit_mb=2048
           ${CMAKE_BINARY_DIR}/fuzz/${name}_corpus)
endforeach()

# Windows test programs of the 64-bit tree, one ctest entry each.
set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine-run.sh)
if(WIN64_BUILD)
  set(WINE_ENV "BUILD_DIR=${BUILD_ROOT}")
  add_test(NAME wine_server_start COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh)
  add_test(NAME wine_server_stop COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh stop)
  set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${WINE_ENV}")
  set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${WINE_ENV}")
  foreach(exe app log query modlist6 system browser apps process window_lines)
    add_test(NAME win_${exe} COMMAND ${WINE_RUN} ${WIN64_BUILD}/bin/${exe}_tests.exe)
    # The same tests as a 32-bit program under WOW64, as Report ships; they
    # skip with their reason where 32-bit programs do not run.
    add_test(NAME win32_${exe} COMMAND ${WINE_RUN} --32 ${BUILD_ROOT}/win32/bin/${exe}_tests.exe)
    # One at a time: they share the prefix, its scratch keys and folders, and
    # the temporary folder the companion is extracted to.
    set_tests_properties(win_${exe} win32_${exe} PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine
                         ENVIRONMENT "${WINE_ENV}" TIMEOUT 900 RESOURCE_LOCK wine_prefix)
  endforeach()
endif()

# End-to-end tests: each script seeds its own prefix and drives Report on a
# virtual display. The hostile machine alone took up to 545 s on two cores
# shared with builds.
file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_e2e.sh)
foreach(script ${E2E_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME ${name} COMMAND bash ${script})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "BUILD_DIR=${BUILD_ROOT}" TIMEOUT 1200 SKIP_RETURN_CODE 77)
endforeach()
