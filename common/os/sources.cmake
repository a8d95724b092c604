# Platform queries, the settings mutex, memory and string helpers, printer data and the
# driver's registry values.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/os_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_admin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_context.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_mutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_spooler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printer_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mem_str.cpp)
