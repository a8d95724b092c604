# The driver context, its cache and its dialog table (a private copy in kvmlface).
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/context.cpp
  ${CMAKE_CURRENT_LIST_DIR}/context_cache.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/context_dialogs_ui.cpp)
list(APPEND KV_COMMON_NONUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/context_dialogs_shared.cpp)
