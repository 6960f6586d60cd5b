# The folders' layers: every include and link of a library points down the line that
# check_layers.sh tables, and nothing below the widget layer uses Qt's widgets.
get_target_property(_qt_dirs Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER _qt_dirs INCLUDE REGEX "/QtCore$")
list(GET _qt_dirs 0 _qt_core_dir)
get_filename_component(_qt_headers ${_qt_core_dir} DIRECTORY)
add_test(NAME layers COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_layers.sh ${PROJECT_SOURCE_DIR} ${_qt_headers})
