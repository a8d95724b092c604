# Stored settings: printer data and the driver's registry values, loads at open, font
# lists and font names, setup services, the job-control exchange, the in-memory INI image
# and the kst settings files; the preset list in kvmlface and kvmlrule; the rejected-header
# message of kvmlface.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/setup_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_deploy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printer_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jobctl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_serialize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_auth_modes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/free_size_list.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp ${CMAKE_CURRENT_LIST_DIR}/kst_warn_ui.cpp)
list(APPEND KV_COMMON_NONUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/kst_warn_nonui.cpp)
list(APPEND KV_COMMON_RULE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp)
