# Every folder of the program splits its sources the same way: *_win.cpp is
# the Win32 layer (Windows build only), *_posix.cpp the POSIX layer (other
# builds only), everything else is portable core.
function(add_folder_sources)
  file(GLOB portable_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER portable_sources EXCLUDE REGEX "_(win|posix)\\.cpp$")
  target_sources(sola_core PRIVATE ${portable_sources})
  if(WIN32)
    file(GLOB win_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_win.cpp)
    list(FILTER win_sources EXCLUDE REGEX "program_entry_win\\.cpp$")
    target_sources(sola_win PRIVATE ${win_sources})
  elseif(TARGET sola_posix)
    file(GLOB posix_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_posix.cpp)
    target_sources(sola_posix PRIVATE ${posix_sources})
  endif()
endfunction()
