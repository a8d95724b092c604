# The DEVMODE layout, private header, format checks, conversion, defaults and versions; the
# paper, resolution, duplex, media and collation items kept in step with the DEVMODE; the
# merge of an incoming DEVMODE and the request and capability blocks.
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
  ${CMAKE_CURRENT_LIST_DIR}/dm_merge_incoming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_merge_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_merge_public.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_merge_quality.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_apply_public.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_user_macro_quality.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_quality_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_request_block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_caps_block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_deliver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_paper_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_paper_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_source_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_output_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_source_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_source_paper_swapped.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_set_output_paper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_refresh_items.cpp)
