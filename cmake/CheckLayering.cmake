# cmake -DROOT=<source tree> [-DSTAMP=<file>] -P CheckLayering.cmake
# Fails when a folder of the program includes a header of a layer above its own. The
# layers, lowest first:
#   platform  framework  archive  payload  agreement  app
# res/ holds the resource ids that the dialogs of agreement/ and app/ share. tools/, the
# packager, may include the archive reader and what lies below it, the marker and the
# product table, and nothing else of the program. Tests, fuzz targets and benchmarks
# may include anything. Only #include "..." lines count: the program includes its own
# headers by path from the top ("archive/archive_reader.h").
cmake_minimum_required(VERSION 3.25)
set(layers platform framework archive payload agreement app)
set(allowed_res agreement app)
set(tools_extra "payload/payload_marker.h" "app/product_profiles.h")

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P CheckLayering.cmake")
endif()

function(rank_of folder out)
  list(FIND layers "${folder}" rank)
  set(${out} ${rank} PARENT_SCOPE)
endfunction()

set(problems "")
foreach(folder IN LISTS layers ITEMS tools)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.rc")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    file(RELATIVE_PATH shown "${ROOT}" "${source}")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" target "${header}")
      if(NOT header MATCHES "/")
        continue()  # a header beside the file, found by the compiler in its own folder
      endif()
      set(ok FALSE)
      if(folder STREQUAL "tools")
        rank_of("${target}" to)
        rank_of(archive limit)
        if(target STREQUAL "tools" OR (to GREATER -1 AND NOT to GREATER limit) OR header IN_LIST tools_extra)
          set(ok TRUE)
        endif()
      elseif(target STREQUAL "res")
        if(folder IN_LIST allowed_res)
          set(ok TRUE)
        endif()
      else()
        rank_of("${folder}" from)
        rank_of("${target}" to)
        if(to GREATER -1 AND NOT to GREATER from)
          set(ok TRUE)
        endif()
      endif()
      if(NOT ok)
        string(APPEND problems "  ${shown} includes \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN layers " -> " order)
  message(FATAL_ERROR "Headers included from a layer above (${order}; tools: the archive "
                      "reader and below, the marker, the product table):\n${problems}")
endif()
if(STAMP)
  file(WRITE "${STAMP}" "layering checked\n")
endif()
