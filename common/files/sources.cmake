# INI access, file helpers and file mapping, whole-file replacement, paths and the settings folders.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_dirs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_helpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_replace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_access.cpp)
