# Option item lookup, raw and value access, texts, units and validation.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_find.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_validate_node.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_node_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_check_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_file_range.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_validate.cpp)
