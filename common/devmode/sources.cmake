# The DEVMODE layout, private header, format checks, conversion, defaults and versions; the
# paper, resolution, duplex, media and collation items kept in step with the DEVMODE, and the
# settings-loaded event.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/devmode_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_environment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_printer_default.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_reset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_public_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devmode_collate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_merge_incoming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_deliver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_paper_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_paper_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_source_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_output_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_source_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_source_paper_swapped.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_output_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_refresh_items.cpp)
