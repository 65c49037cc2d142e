# The folder layering and the widget-free core, checked on every run; the
# two fixture trees prove the check catches each kind of fault.
set(_core_sources)
foreach(_t IN LISTS SPINDLE_CORE_TARGETS)
  get_target_property(_s ${_t} SOURCES)
  list(APPEND _core_sources ${_s})
endforeach()
get_target_property(_s spindle-cli SOURCES)
list(APPEND _core_sources ${_s})
list(TRANSFORM _core_sources REPLACE "^${PROJECT_SOURCE_DIR}/src/" "")
string(JOIN "|" _core_joined ${_core_sources})
get_target_property(_widget_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER _widget_dirs INCLUDE REGEX "/QtWidgets$")
list(GET _widget_dirs 0 _widget_dir)
add_test(NAME check_layering COMMAND ${CMAKE_COMMAND}
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${PROJECT_SOURCE_DIR}/src "-DCORE=${_core_joined}"
  -P ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)
set(_fixtures ${CMAKE_CURRENT_LIST_DIR}/data/layering)
# Each fixture must make the check fail by its exit code, naming its fault.
function(spindle_check_fails name check expect)
  string(JOIN "|" _args ${ARGN})
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} "-DCHECK=${check}" "-DEXPECT=${expect}" "-DARGS=${_args}"
    -P ${CMAKE_CURRENT_LIST_DIR}/expect_check_fails.cmake)
endfunction()
set(_layering ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)
spindle_check_fails(check_layering_catches_upward ${_layering}
  "exec/runner.cpp: includes \"app/windows.h\" (app/windows.h), a folder that is not below exec/"
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${_fixtures}/up -DCORE=exec/runner.cpp)
spindle_check_fails(check_layering_catches_relative ${_layering}
  "exec/runner.cpp: includes \"../app/windows.h\" (app/windows.h), a folder that is not below exec/"
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${_fixtures}/relative -DCORE=exec/runner.cpp)
spindle_check_fails(check_layering_catches_widgets ${_layering}
  "base/helper.h: reached from the core library, includes the widget header <QPushButton>"
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${_fixtures}/widget -DCORE=base/core.cpp)

# Nothing outside platform/ reads or changes the current directory.
set(_cwd_check ${CMAKE_CURRENT_LIST_DIR}/check_current_dir.cmake)
add_test(NAME check_current_dir COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/src -P ${_cwd_check})
spindle_check_fails(check_current_dir_catches_uses ${_cwd_check}
  "7 use(s) of the current directory outside platform/" -DSRC=${CMAKE_CURRENT_LIST_DIR}/data/current_dir)
