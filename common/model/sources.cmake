# The model record and its constant tables, state items, paper fit, the scale-area table
# and the font-list table.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paper_fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scale_area.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_list_table.cpp)
