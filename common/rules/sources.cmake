# Condition evaluation, rules, the built-in computed items and value availability
# (kvmlface's variant in *_ui.cpp, kvmlrule's and kvmldraw's in *_nonui.cpp).
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/pjl_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_cond_chain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_cond_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_derived.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_eval.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_eval_stack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_caps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_resolution_cap.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/rule_builtin_ui.cpp)
list(APPEND KV_COMMON_NONUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/rule_builtin_nonui.cpp)
