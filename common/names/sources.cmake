# Printer, driver and language names, resource DLLs; kvmlface's status window and
# message boxes.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/names_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resource_dlls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/res_language.cpp)
list(APPEND KV_COMMON_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_messages.cpp)
