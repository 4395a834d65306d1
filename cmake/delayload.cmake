# Delay-loaded import libraries. A library in a program's import table that is
# not a KnownDLL would be looked for in the program's folder before the
# program's first line runs; delay-loaded, it is loaded on first call, after
# the program has limited the search to the system folder (and through its
# delay-load hook, query/system_library.cpp).
#
# add_delay_import(<target> <dll> <def file in cmake/delayload>) makes the
# INTERFACE target <target> that links lib<target>.a, made by dlltool
# --output-delaylib. The .def names carry the 32-bit stdcall sizes; the 64-bit
# library is made from a copy without them.
if(ARCH_BITS EQUAL 64)
  set(DELAYLOAD_TRIPLE x86_64-w64-mingw32)
else()
  set(DELAYLOAD_TRIPLE i686-w64-mingw32)
endif()
find_program(DELAYLOAD_DLLTOOL NAMES ${DELAYLOAD_TRIPLE}-dlltool REQUIRED)

function(add_delay_import target dll def_name)
  set(def_in ${CMAKE_SOURCE_DIR}/cmake/delayload/${def_name})
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  set(def_out ${dir}/${def_name})
  set(lib ${dir}/lib${target}.a)
  file(READ ${def_in} text)
  set(kill_at --kill-at)
  set(keep_thunks)
  if(ARCH_BITS EQUAL 64)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    set(kill_at)
  else()
    # The 32-bit ld drops the delay-load thunk of a function that is called
    # only through its __imp_ pointer (headers that declare dllimport), which
    # leaves that pointer empty; naming each thunk on the link line keeps it.
    string(REGEX MATCHALL "\n[A-Za-z_][A-Za-z0-9_]*@[0-9]+" names "${text}")
    foreach(name ${names})
      string(STRIP "${name}" name)
      list(APPEND keep_thunks "-Wl,-u,_${name}")
    endforeach()
  endif()
  file(CONFIGURE OUTPUT ${def_out} CONTENT "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_in})
  add_custom_command(OUTPUT ${lib}
    COMMAND ${DELAYLOAD_DLLTOOL} ${kill_at} --dllname ${dll} --input-def ${def_out} --output-delaylib ${lib}
    DEPENDS ${def_out}
    COMMENT "delay-load import library for ${dll}")
  add_custom_target(${target}_import DEPENDS ${lib})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${lib})
  target_link_options(${target} INTERFACE ${keep_thunks})
  add_dependencies(${target} ${target}_import)
endfunction()

add_delay_import(delay_version version.dll version.def)
add_delay_import(delay_wininet wininet.dll wininet.def)
add_delay_import(delay_winspool winspool.drv winspool.def)
