# Fails when one of BINARIES (a list) needs getdents64, renameat2 or syscall from a shared library.
foreach(binary IN LISTS BINARIES)
    execute_process(COMMAND ${NM} -D --undefined-only ${binary} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
    # Every binary calls open: an empty or failed listing proves nothing.
    if(NOT status EQUAL 0 OR NOT symbols MATCHES "[ \n]open(64)?(@|\n)")
        message(FATAL_ERROR "cannot read the undefined symbols of ${binary}")
    endif()
    string(REGEX MATCHALL "[ \n](getdents64|renameat2|syscall)(@[^\n]*)?\n" found "${symbols}")
    if(found)
        message(FATAL_ERROR "${binary} uses Linux-only calls:${found}")
    endif()
    message(STATUS "${binary}: none of getdents64, renameat2, syscall")
endforeach()
