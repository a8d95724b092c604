# Stand-in DLLs and resource modules.
#
# A stand-in DLL is a shared library in lib/standin/ that LoadLibraryW opens for a DLL
# name of the driver package or of the system. For each one the build also writes a
# link file lib/standin/links/<DLL name> (one line "KVSTANDIN <library path>"): copied
# to a Windows path under a machine root, it makes the DLL exist there (see
# platform/include/kvplat/module_control.h). Tests usually call PlatModuleRegister with
# $<TARGET_FILE:...> instead.
#
#   kv_standin_dll(NAME [DLL_NAME file.dll] [RESOURCES source.kvrc] SOURCES...)
#       NAME.so linked with kvplatform; only symbols marked KV_DLLEXPORT are exported.
#       RESOURCES compiles a resource source into it (see scripts/kvrc.py).
#   kv_resource_module(NAME SOURCE.kvrc [DLL_NAME file.dll])
#       NAME.so holding only the resources of SOURCE.kvrc (a resource DLL).
#   kv_resource_sources(TARGET SOURCE.kvrc [SYMBOL name])
#       compiles SOURCE.kvrc into TARGET (any library or program): TARGET then exports
#       the table "kvres_table" (or SYMBOL), which gives its module its resources. A
#       deliverable with an exports file must list kvres_table there.
include_guard(DIRECTORY)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KV_RC_TOOL ${CMAKE_CURRENT_LIST_DIR}/../scripts/kvrc.py)
get_filename_component(KV_RC_TOOL ${KV_RC_TOOL} ABSOLUTE)
set(KV_STANDIN_DIR ${CMAKE_BINARY_DIR}/lib/standin)
set(KV_PLATFORM_INCLUDE_DIR ${CMAKE_CURRENT_LIST_DIR}/../platform/include)
get_filename_component(KV_PLATFORM_INCLUDE_DIR ${KV_PLATFORM_INCLUDE_DIR} ABSOLUTE)

function(kv_resource_sources target source)
  cmake_parse_arguments(KVR "" "SYMBOL" "" ${ARGN})
  get_filename_component(abs ${source} ABSOLUTE)
  get_filename_component(base ${source} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${base}_res.cpp)
  set(symbol_args)
  if(KVR_SYMBOL)
    set(symbol_args --symbol ${KVR_SYMBOL})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND Python3::Interpreter ${KV_RC_TOOL} -o ${out} --depfile ${out}.d ${symbol_args} ${abs}
    DEPENDS ${abs} ${KV_RC_TOOL}
    DEPFILE ${out}.d
    COMMENT "Compiling resources ${source}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_include_directories(${target} PRIVATE ${KV_PLATFORM_INCLUDE_DIR})
endfunction()

# Shared settings of every stand-in library: no "lib" prefix, hidden symbols, no
# undefined references, output in lib/standin/, and its link file.
function(kv_standin_common name dll_name)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${KV_STANDIN_DIR}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE -Wl,--no-undefined)
  if(NOT dll_name)
    set(dll_name ${name}.dll)
  endif()
  file(GENERATE OUTPUT ${KV_STANDIN_DIR}/links/${dll_name} CONTENT "KVSTANDIN $<TARGET_FILE:${name}>\n")
endfunction()

function(kv_standin_dll name)
  cmake_parse_arguments(KVS "" "DLL_NAME;RESOURCES" "" ${ARGN})
  if(NOT KVS_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kv_standin_dll(${name}): no sources")
  endif()
  add_library(${name} SHARED ${KVS_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE kvplatform)
  kv_standin_common(${name} "${KVS_DLL_NAME}")
  if(KVS_RESOURCES)
    kv_resource_sources(${name} ${KVS_RESOURCES})
  endif()
endfunction()

function(kv_resource_module name source)
  cmake_parse_arguments(KVM "" "DLL_NAME" "" ${ARGN})
  add_library(${name} SHARED)
  kv_resource_sources(${name} ${source})
  kv_standin_common(${name} "${KVM_DLL_NAME}")
endfunction()
