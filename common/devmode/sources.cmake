# The DEVMODE layout, private header, format checks, conversion, defaults and versions; the
# paper, resolution and collation items, and the settings-loaded event.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/devmode_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_environment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_printer_default.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_reset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_public_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_paper_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_collate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_paper_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_paper_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_resolution.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_events.cpp)
