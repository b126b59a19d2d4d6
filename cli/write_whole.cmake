# Writes the executable FILE again, in writes of 16 MiB, under the same name, with its time stamp
# and the mode an installed program has. Linux keeps a file in the page cache in folios no larger
# than the writes that filled them: as the linker or `cmake --install` wrote the command, it lies
# in 4 KiB folios, and every process maps the windows of cli/morvik_layout.ld a fault at a time.
# Written whole, each window is one folio, mapped with one entry. (Once the page cache has let
# the file go, the command's entry reads the windows back whole: cli/command_entry.S.)
#   cmake -DFILE=build/native/morvik -P write_whole.cmake
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "write_whole: no file ${FILE}")
endif()
execute_process(COMMAND dd "if=${FILE}" "of=${FILE}.whole" bs=16M iflag=fullblock status=none
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  # Only a question of speed: the file stays as it was written.
  file(REMOVE "${FILE}.whole")
  message(WARNING "write_whole: could not write ${FILE} again (dd: ${status}); left as it is")
  return()
endif()
# Keep the time stamp, so that an install sees the same file as up to date.
execute_process(COMMAND touch -r "${FILE}" "${FILE}.whole")
file(CHMOD "${FILE}.whole" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                       WORLD_READ WORLD_EXECUTE)
file(RENAME "${FILE}.whole" "${FILE}")
