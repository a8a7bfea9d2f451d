# Fails when a source file includes a header from a folder of a higher layer.
#   cmake -DSOURCE_DIR=<top of the checkout> -DLAYERS=<layers, lowest first> -P CheckLayers.cmake
# LAYERS is a ;-list; folders that share a layer are joined by "|" and may not include each
# other. A folder is the first path component under src/ ("track", "devices", "ui"), or "sim".
cmake_minimum_required(VERSION 3.25)

set(rank 0)
foreach(layer IN LISTS LAYERS)
  string(REPLACE "|" ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/sim/*.h" "${SOURCE_DIR}/sim/*.cpp")
set(faults "")
foreach(source IN LISTS sources)
  if(source MATCHES "^src/([^/]+)/")
    set(own "${CMAKE_MATCH_1}")
  else()
    set(own "sim")
  endif()
  if(NOT DEFINED rank_${own})
    string(APPEND faults "${source}: folder '${own}' has no place in the layer list\n")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" used "${line}")
    if(used STREQUAL own OR NOT DEFINED rank_${used})
      continue()
    endif()
    if(NOT rank_${used} LESS rank_${own})
      string(STRIP "${line}" line)
      string(APPEND faults "${source}: ${line}: '${used}' is not below '${own}'\n")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that run upward (the layers are in docs/architecture.md):\n${faults}")
endif()
