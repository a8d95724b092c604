# Stored settings: printer data and the driver's registry values, loads at open, font
# lists and font names, setup services, the job-control exchange, the in-memory INI image;
# the preset list in kvmlface and kvmlrule.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/setup_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_deploy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printer_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jobctl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_image.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp)
list(APPEND KV_COMMON_RULE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp)
