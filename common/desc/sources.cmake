# The printer description reader, grammar, keyword handlers and condition compiler.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/desc_arena.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_grammar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_groups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_limits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_sections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rule_compile.cpp)
