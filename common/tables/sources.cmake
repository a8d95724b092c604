# The template context's tables: generated from the readable sources of this folder by
# gentables.py at build time, and compiled into every configuration of the common library.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(KV_TABLES_SRC_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KV_TABLES_GEN_CPP ${CMAKE_CURRENT_BINARY_DIR}/tables/template_tables_gen.cpp)
# The named item ids, reached as "tables/item_ids.h" through the build tree's include root.
set(KV_TABLES_GEN_IDS ${CMAKE_CURRENT_BINARY_DIR}/tables/item_ids.h)
set(KV_TABLES_SOURCES
    ${KV_TABLES_SRC_DIR}/items.txt
    ${KV_TABLES_SRC_DIR}/xlat.txt
    ${KV_TABLES_SRC_DIR}/symbols.txt
    ${KV_TABLES_SRC_DIR}/values.txt
    ${KV_TABLES_SRC_DIR}/messages.txt
    ${KV_TABLES_SRC_DIR}/valuelists.txt
    ${KV_TABLES_SRC_DIR}/groups.txt
    ${KV_TABLES_SRC_DIR}/dialogs.txt
    ${KV_TABLES_SRC_DIR}/controls.txt)

add_custom_command(
    OUTPUT ${KV_TABLES_GEN_CPP} ${KV_TABLES_GEN_IDS}
    COMMAND ${Python3_EXECUTABLE} ${KV_TABLES_SRC_DIR}/gentables.py
            --src ${KV_TABLES_SRC_DIR} --out ${KV_TABLES_GEN_CPP} --ids ${KV_TABLES_GEN_IDS}
    DEPENDS ${KV_TABLES_SOURCES} ${KV_TABLES_SRC_DIR}/gentables.py
    COMMENT "Generating the template tables"
    VERBATIM)
add_custom_target(kv_template_tables DEPENDS ${KV_TABLES_GEN_CPP} ${KV_TABLES_GEN_IDS})

list(APPEND KV_COMMON_SOURCES ${KV_TABLES_GEN_CPP} ${KV_TABLES_GEN_IDS})
list(APPEND KV_COMMON_INCLUDE_DIRS ${CMAKE_CURRENT_BINARY_DIR})
list(APPEND KV_COMMON_DEPENDS kv_template_tables)
