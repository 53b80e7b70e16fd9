# Every folder splits its sources the same way: *_win.cpp is the Win32 layer
# (Windows build only), *_posix.cpp the POSIX layer (other builds only),
# everything else is portable core.
#
# A folder also says which folders it may use. Its libraries then see only
# those folders' headers: their include path is a view folder holding links
# to them alone, so a wrong include fails to build, and they link only those
# folders' libraries.

# The include view of target: links to the named folders. Where links cannot
# be made (a Windows host without the right to make them), the whole tree.
function(rv_include_view target)
  set(view ${CMAKE_BINARY_DIR}/include-view/${target})
  file(MAKE_DIRECTORY ${view})
  set(made TRUE)
  foreach(folder ${ARGN})
    if(NOT EXISTS ${view}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} RESULT failed SYMBOLIC)
      if(failed)
        set(made FALSE)
      endif()
    endif()
  endforeach()
  if(made)
    target_include_directories(${target} PRIVATE ${view})
  else()
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  endif()
endfunction()

function(rv_folder_files out pattern)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# The program's folder libraries: sola_<folder> (portable) and, where the
# folder has such files, sola_<folder>_win or sola_<folder>_posix.
# USES names the folders it may include; SYSTEM what its system layer links.
function(add_folder_libraries)
  cmake_parse_arguments(ARG "" "" "USES;SYSTEM;EXCLUDE" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(core sola_${folder})
  rv_folder_files(portable "*.cpp")
  list(FILTER portable EXCLUDE REGEX "_(win|posix)\\.cpp$")
  if(WIN32)
    set(layer_suffix win)
  else()
    set(layer_suffix posix)
  endif()
  rv_folder_files(layer "*_${layer_suffix}.cpp")
  foreach(name ${ARG_EXCLUDE})
    list(REMOVE_ITEM portable ${CMAKE_CURRENT_SOURCE_DIR}/${name})
    list(REMOVE_ITEM layer ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  endforeach()

  set(used_cores)
  set(used_layers)
  foreach(used ${ARG_USES})
    # A folder of headers only (the resource ids) has no library.
    if(TARGET sola_${used})
      list(APPEND used_cores sola_${used})
    endif()
    if(TARGET sola_${used}_${layer_suffix})
      list(APPEND used_layers sola_${used}_${layer_suffix})
    endif()
  endforeach()

  if(portable)
    add_library(${core} STATIC ${portable})
    rv_include_view(${core} ${folder} ${ARG_USES})
    target_link_libraries(${core} PUBLIC ${used_cores})
  else()
    add_library(${core} INTERFACE)
    target_link_libraries(${core} INTERFACE ${used_cores})
  endif()
  if(layer)
    set(system_layer sola_${folder}_${layer_suffix})
    add_library(${system_layer} STATIC ${layer})
    rv_include_view(${system_layer} ${folder} ${ARG_USES})
    target_link_libraries(${system_layer} PUBLIC ${core} ${used_layers} ${ARG_SYSTEM})
  endif()
endfunction()

# A front end's sources (the command-line client, the server): portable
# parts into CORE, the system's parts into WIN or POSIX, each seeing only
# the folders in USES.
function(add_folder_sources)
  cmake_parse_arguments(ARG "" "CORE;WIN;POSIX" "EXCLUDE;USES" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(excluded "")
  foreach(name ${ARG_EXCLUDE})
    list(APPEND excluded ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  endforeach()

  rv_folder_files(portable_sources "*.cpp")
  list(FILTER portable_sources EXCLUDE REGEX "_(win|posix)\\.cpp$")
  list(REMOVE_ITEM portable_sources ${excluded})
  target_sources(${ARG_CORE} PRIVATE ${portable_sources})
  rv_include_view(${ARG_CORE} ${folder} ${ARG_USES})
  if(WIN32)
    set(layer_target ${ARG_WIN})
    rv_folder_files(layer_sources "*_win.cpp")
  else()
    set(layer_target ${ARG_POSIX})
    rv_folder_files(layer_sources "*_posix.cpp")
  endif()
  if(layer_target)
    list(REMOVE_ITEM layer_sources ${excluded})
    target_sources(${layer_target} PRIVATE ${layer_sources})
    rv_include_view(${layer_target} ${folder} ${ARG_USES})
  endif()
endfunction()
