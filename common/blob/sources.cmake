# The compiled description block: serializer, validator, relocator, compile, caches and
# run-time lookups.
list(APPEND KV_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/desc_serialize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_validate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_relocate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_compile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_cache_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_cache_policy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_lookup.cpp)
# Paper geometry and the description's font lists; the custom paper size in a file of its
# own, which the rendering configuration replaces.
list(APPEND KV_COMMON_SOURCES ${CMAKE_CURRENT_LIST_DIR}/desc_geometry.cpp ${CMAKE_CURRENT_LIST_DIR}/desc_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desc_custom_size.cpp)
