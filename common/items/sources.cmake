# Option item lookup, raw and value access, texts and units.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_find.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_units.cpp)
