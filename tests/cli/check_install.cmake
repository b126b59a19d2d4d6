# Installs BUILD_DIR into PREFIX and checks the file list, the installed commands and the
# manual pages.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
include(GNUInstallDirs)
set(expected bin/korvel bin/morvik ${CMAKE_INSTALL_LIBDIR}/KORVEL.so share/man/man1/korvel.1
             share/man/man1/morvik.1)
list(SORT expected)
message(STATUS "installed: ${installed}")
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed files:\n  ${installed}\nexpected:\n  ${expected}")
endif()

execute_process(COMMAND ${PREFIX}/bin/morvik --version OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out MATCHES "^morvik ")
  message(FATAL_ERROR "installed morvik --version: ${status} ${out}")
endif()
execute_process(COMMAND ${PREFIX}/bin/korvel call "analyze encoding" text
                OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out MATCHES "^SAORI/1.0 200 OK")
  message(FATAL_ERROR "installed korvel with the installed module: ${status} ${out}")
endif()

find_program(groff groff)
if(groff)
  foreach(page korvel morvik)
    execute_process(COMMAND ${groff} -man -ww -z ${PREFIX}/share/man/man1/${page}.1
                    ERROR_VARIABLE warnings RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
      message(FATAL_ERROR "${page}.1 does not render cleanly:\n${warnings}")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${PREFIX})
