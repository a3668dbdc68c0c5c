# Plug-in modules of our own ("*.qxl") built from the sources of
# tests/extensions/modules: the filter plug-ins and the .8bf bridge through which the
# test suite, the benchmarks and the program's scenes prove the plug-in host on this
# platform (genuine Windows plug-ins and .8bf filters cannot run here).

set(QM_PLUGIN_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../tests/extensions/modules)

# qm_add_plugin_module(<target> OUTPUT <file name> FOLDER <folder> [SOURCE <file>]
#                      [DEFINES ...] [LIBS ...]): one module, <folder>/<file name>.qxl.
# The source defaults to the filter plug-in's; DEFINES choose its variant.
function(qm_add_plugin_module target)
  cmake_parse_arguments(M "" "OUTPUT;FOLDER;SOURCE" "DEFINES;LIBS" ${ARGN})
  if(NOT M_SOURCE)
    set(M_SOURCE ${QM_PLUGIN_SOURCES}/TestFilterPlugin.c)
  endif()
  add_library(${target} MODULE ${M_SOURCE})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${M_OUTPUT} SUFFIX .qxl
                        LIBRARY_OUTPUT_DIRECTORY ${M_FOLDER} C_VISIBILITY_PRESET hidden
                        CXX_VISIBILITY_PRESET hidden AUTOMOC OFF)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${target} PRIVATE ${M_DEFINES})
  target_link_libraries(${target} PRIVATE ${M_LIBS} ${CMAKE_DL_LIBS})
endfunction()

# qm_add_plugin_variants(<prefix> <folder> <targets var> <variant>...): one filter
# plug-in per variant "kind|DEFINE,DEFINE..." (the defines of TestFilterPlugin.c),
# <folder>/<kind>.qxl made by target <prefix>_<kind>; <targets var> receives the
# targets.
function(qm_add_plugin_variants prefix folder out)
  set(targets)
  foreach(variant ${ARGN})
    string(FIND "${variant}" "|" bar)
    string(SUBSTRING "${variant}" 0 ${bar} kind)
    math(EXPR rest "${bar} + 1")
    string(SUBSTRING "${variant}" ${rest} -1 defines)
    string(REPLACE "," ";" defines "${defines}")
    qm_add_plugin_module(${prefix}_${kind} OUTPUT ${kind} FOLDER ${folder} DEFINES ${defines})
    list(APPEND targets ${prefix}_${kind})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()
