# Fails when the folder layering of the sources is broken:
#  - a folder includes from a folder above it or beside it. Includes go down.
#    The core: iso/disc/tools -> tree -> exec -> base -> platform (tree below
#    iso: Check and the image order read sort files). The windows sit above
#    every core folder: app/ui -> iso/ui, disc/ui, tools/ui, tree/ui ->
#    exec/ui -> ui (shared window parts). cli takes the core only (the widget
#    check below keeps windows out of it), app's entry everything;
#  - a source of the core library (logic without widgets), or a project
#    header it reaches, includes a header of the Widgets module.
# Arguments: -DSRC=<source root> -DCORE=<core sources, relative, joined by |>
#            -DWIDGETS_DIR=<the QtWidgets include folder>
cmake_minimum_required(VERSION 3.22)
get_filename_component(SRC "${SRC}" ABSOLUTE)

set(rank_platform 0)
set(rank_tools/bbie 1)
set(rank_base 1)
set(rank_exec 2)
set(rank_tree 3)
foreach(f iso disc tools)
  set(rank_${f} 4)
endforeach()
set(rank_ui 5)
set(rank_exec/ui 6)
foreach(f iso disc tools tree)
  set(rank_${f}/ui 7)
endforeach()
set(rank_app/ui 8)
set(rank_app 9)
set(rank_cli 9)

# The layer a path belongs to: a subsystem's ui/ (or bbie/) folder is a
# layer of its own, anything else counts by its first folder.
function(layer_of path out)
  if(path MATCHES "^([^/]+/(ui|bbie))/")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    string(REGEX MATCH "^[^/]+" first "${path}")
    set(${out} "${first}" PARENT_SCOPE)
  endif()
endfunction()

file(GLOB widget_headers RELATIVE "${WIDGETS_DIR}" "${WIDGETS_DIR}/*")
if(NOT widget_headers)
  message(FATAL_ERROR "No Widgets headers found in '${WIDGETS_DIR}'")
endif()

set(failures 0)
macro(fail text)
  message("${text}")
  math(EXPR failures "${failures} + 1")
endmacro()

# Project includes ("folder/file.h") and system includes (<Name>) of a file.
function(read_includes file out_quoted out_angled)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
  set(q)
  set(a)
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      list(APPEND q "${CMAKE_MATCH_1}")
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      list(APPEND a "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out_quoted} "${q}" PARENT_SCOPE)
  set(${out_angled} "${a}" PARENT_SCOPE)
endfunction()

# Where a quoted include leads, relative to the source root: next to the
# including file first ("../app/windows.h" from exec/ is app/windows.h),
# then from the root. Empty for one outside the tree.
function(resolve_include dir inc out)
  set(result "${inc}")
  if(EXISTS "${SRC}/${dir}/${inc}")
    get_filename_component(full "${SRC}/${dir}/${inc}" ABSOLUTE)
    file(RELATIVE_PATH result "${SRC}" "${full}")
  elseif(inc MATCHES "^\\.")
    # Not found, but plainly relative: resolve it by name all the same.
    get_filename_component(full "${SRC}/${dir}/${inc}" ABSOLUTE)
    file(RELATIVE_PATH result "${SRC}" "${full}")
  endif()
  if(result MATCHES "^\\.\\./")
    set(result "")
  endif()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Include direction, for every source and header.
file(GLOB_RECURSE all RELATIVE "${SRC}" "${SRC}/*.cpp" "${SRC}/*.h")
foreach(rel IN LISTS all)
  layer_of("${rel}" folder)
  if(NOT DEFINED rank_${folder})
    continue()
  endif()
  get_filename_component(reldir "${rel}" DIRECTORY)
  read_includes("${SRC}/${rel}" quoted angled)
  foreach(written IN LISTS quoted)
    resolve_include("${reldir}" "${written}" inc)
    layer_of("${inc}" target)
    if(NOT inc MATCHES "/" OR NOT DEFINED rank_${target} OR target STREQUAL folder)
      continue()
    endif()
    if(NOT rank_${target} LESS rank_${folder})
      fail("${rel}: includes \"${written}\" (${inc}), a folder that is not below ${folder}/")
    endif()
  endforeach()
endforeach()

# Widget headers in the core, through the project headers it includes.
string(REPLACE "|" ";" core "${CORE}")
set(seen)
set(queue ${core})
while(queue)
  list(POP_FRONT queue rel)
  if(rel IN_LIST seen OR NOT EXISTS "${SRC}/${rel}")
    continue()
  endif()
  list(APPEND seen "${rel}")
  get_filename_component(dir "${rel}" DIRECTORY)
  read_includes("${SRC}/${rel}" quoted angled)
  foreach(inc IN LISTS angled)
    string(REGEX MATCH "^[^/]+" first "${inc}")
    get_filename_component(name "${inc}" NAME)
    if(first STREQUAL "QtWidgets" OR (NOT inc MATCHES "/" AND name IN_LIST widget_headers))
      fail("${rel}: reached from the core library, includes the widget header <${inc}>")
    endif()
  endforeach()
  foreach(inc IN LISTS quoted)
    resolve_include("${dir}" "${inc}" next)
    if(next)
      list(APPEND queue "${next}")
    endif()
  endforeach()
endwhile()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering fault(s)")
endif()
list(LENGTH all n)
list(LENGTH seen m)
message("Layering clean: ${n} files, ${m} reached from the core")
