# The check table of stored values and the validation of a value against its item's
# description node and the rules; the checks of the DEVMODE's public fields.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_validate_node.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_node_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_check_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_file_range.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_validate.cpp)
