# The folder layering and the widget-free core, checked on every run; the
# two fixture trees prove the check catches each kind of fault.
get_target_property(_core_sources spindle_core SOURCES)
string(JOIN "|" _core_joined ${_core_sources})
get_target_property(_widget_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER _widget_dirs INCLUDE REGEX "/QtWidgets$")
list(GET _widget_dirs 0 _widget_dir)
add_test(NAME check_layering COMMAND ${CMAKE_COMMAND}
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${PROJECT_SOURCE_DIR}/src "-DCORE=${_core_joined}"
  -P ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)
set(_fixtures ${CMAKE_CURRENT_LIST_DIR}/data/layering)
add_test(NAME check_layering_catches_upward COMMAND ${CMAKE_COMMAND}
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${_fixtures}/up -DCORE=exec/runner.cpp
  -P ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)
add_test(NAME check_layering_catches_widgets COMMAND ${CMAKE_COMMAND}
  -DWIDGETS_DIR=${_widget_dir} -DSRC=${_fixtures}/widget -DCORE=base/core.cpp
  -P ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)
set_tests_properties(check_layering_catches_upward PROPERTIES
  PASS_REGULAR_EXPRESSION "exec/runner.cpp: includes \"app/windows.h\", a folder that is not below exec/")
set_tests_properties(check_layering_catches_widgets PROPERTIES
  PASS_REGULAR_EXPRESSION "base/helper.h: reached from the core library, includes the widget header <QPushButton>")
