# Module hooks, the model notifications and module events they dispatch, snapshots and the
# PJL variable rows; the build hooks that kvmlrule and kvmldraw share. Each deliverable's own
# build hooks live in its directory and go into its configuration.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/module_hooks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model_notify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dm_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pjl_var_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/snapshots.cpp)
list(APPEND KV_COMMON_NONUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/build_hooks_nonui.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_SOURCE_DIR}/ui2k/build_hooks.cpp)
list(APPEND KV_COMMON_RULE_SOURCES ${CMAKE_SOURCE_DIR}/exclude/build_hooks.cpp)
list(APPEND KV_COMMON_DRAW_SOURCES ${CMAKE_SOURCE_DIR}/gr2k/build_hooks.cpp)
