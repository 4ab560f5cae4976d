# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on: stack protector, _FORTIFY_SOURCE, format checks, full RELRO
# with immediate binding. The build type keeps choosing -O and -g, and the
# file prefix map (a path of this tree) is left out so that compile caches
# are shared between trees. Sanitizer builds go without: their run-time
# libraries replace the C library's checked functions with their own.
option(KESTRUNE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)

function(kestrune_buildflags kind out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${KESTRUNE_DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-g$|^-O|^-ffile-prefix-map=")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(KESTRUNE_HARDENING AND NOT KESTRUNE_SANITIZE AND NOT KESTRUNE_FUZZ
   AND NOT "${CMAKE_CXX_FLAGS} ${CMAKE_C_FLAGS}" MATCHES "-fsanitize")
  find_program(KESTRUNE_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  kestrune_buildflags(CPPFLAGS cppflags)
  kestrune_buildflags(CFLAGS cflags)
  kestrune_buildflags(CXXFLAGS cxxflags)
  kestrune_buildflags(LDFLAGS ldflags)
  # _FORTIFY_SOURCE needs an optimising build; a Debug one goes without.
  foreach(flag ${cppflags})
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
  endforeach()
  foreach(flag ${cflags})
    add_compile_options($<$<COMPILE_LANGUAGE:C>:${flag}>)
  endforeach()
  foreach(flag ${cxxflags})
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${flag}>)
  endforeach()
  add_link_options(${ldflags})
  message(STATUS "Hardening: ${cppflags} ${cxxflags} ${ldflags}")
endif()
