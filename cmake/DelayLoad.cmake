# System DLLs that only some actions need (the TCP link, the port list) are
# loaded at their first call instead of at start: under Wine, loading ws2_32
# and setupapi with the program adds about a third to a bare window's start.
#
# rv_delay_loaded(OUT dll...) sets OUT to what a target links for them.
function(rv_delay_loaded out)
  set(items)
  foreach(dll ${ARGN})
    if(MSVC)
      list(APPEND items ${dll} delayimp "-DELAYLOAD:${dll}.dll")
    elseif(MINGW AND CMAKE_DLLTOOL AND CMAKE_NM)
      set(delay_library ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a)
      if(NOT EXISTS ${delay_library})
        # The delay-import library offers what the ordinary one does.
        find_library(import_library_${dll} NAMES ${dll} REQUIRED)
        execute_process(COMMAND ${CMAKE_NM} ${import_library_${dll}} OUTPUT_VARIABLE symbols
                        COMMAND_ERROR_IS_FATAL ANY)
        string(REGEX MATCHALL " I __imp_[A-Za-z0-9_]+" imports "${symbols}")
        list(TRANSFORM imports REPLACE " I __imp_" "")
        list(REMOVE_DUPLICATES imports)
        list(JOIN imports "\n  " exports)
        set(definition ${CMAKE_BINARY_DIR}/delayload/${dll}.def)
        file(WRITE ${definition} "LIBRARY ${dll}.dll\nEXPORTS\n  ${exports}\n")
        execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${definition} --dllname ${dll}.dll
                                --output-delaylib ${delay_library} COMMAND_ERROR_IS_FATAL ANY)
      endif()
      list(APPEND items ${delay_library})
    else()
      list(APPEND items ${dll})
    endif()
  endforeach()
  set(${out} ${items} PARENT_SCOPE)
endfunction()
