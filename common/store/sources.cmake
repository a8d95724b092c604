# Stored settings: loads at open, font lists and font names, setup services, the
# job-control exchange, the in-memory INI image and the kst settings files, settings files
# with conditions and first-run defaults, the stored lists (presets, quality sets, stamps,
# custom sizes); the preset list writers in kvmlface and kvmlrule; the rejected-header and
# preset messages of kvmlface.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/setup_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_deploy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_ini.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_load_open.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bidi_ini.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bidi_ini_flag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_subst.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_subst_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jobctl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bidi_query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/user_code.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_serialize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kst_auth_modes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_conditions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bundle_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/locale_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/list_sections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/list_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preset_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/presets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preset_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preset_select.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quality_sets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quality_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quality_save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stamps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/free_sizes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/free_size_cache.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp ${CMAKE_CURRENT_LIST_DIR}/kst_warn_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preset_warn_ui.cpp)
list(APPEND KV_COMMON_NONUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/kst_warn_nonui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preset_warn_nonui.cpp)
list(APPEND KV_COMMON_RULE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/preset_list.cpp)
# The default-preset import and re-validation change the preset list (kvmlface and
# kvmlrule); kvmlface asks before presets are dropped and runs the once-per-printer refresh.
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_import.cpp ${CMAKE_CURRENT_LIST_DIR}/setup_revalidate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_revalidate_ask_ui.cpp ${CMAKE_CURRENT_LIST_DIR}/setup_refresh_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_dlg_open_ui.cpp)
list(APPEND KV_COMMON_RULE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_import.cpp ${CMAKE_CURRENT_LIST_DIR}/setup_revalidate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_revalidate_ask_rule.cpp)
