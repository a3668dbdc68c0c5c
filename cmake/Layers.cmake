# The program's layers: one static library per folder of src/, each depending only on
# the layers under it. src/CMakeLists.txt names them lowest first; the DEPS given there
# are the one statement of which layer may use which.

# qm_add_layer(<target> <dir> DEPS ...): one static library per layer, its sources
# (and its Qt resource files) globbed from the directory, so adding a kernel family
# means adding files only.
# A layer with no sources yet is an interface library carrying its dependencies.
function(qm_add_layer target dir)
  cmake_parse_arguments(L "RECURSE" "" "DEPS" ${ARGN})
  if(L_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.qrc)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.qrc)
  endif()
  list(FILTER srcs EXCLUDE REGEX "/Main\\.cpp$")
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC qm_options ${L_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE qm_options ${L_DEPS})
  endif()
  set_property(TARGET ${target} PROPERTY QM_LAYER_DIR ${dir})
  set_property(GLOBAL APPEND PROPERTY QM_LAYERS ${target})
endfunction()

# The layers a layer reaches through its link libraries (itself included), read from
# the targets, so the list cannot drift from what the build links.
function(qm_layer_reach target out_layers out_qt)
  get_property(layers GLOBAL PROPERTY QM_LAYERS)
  set(todo ${target})
  set(seen "")
  set(qt FALSE)
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(deps ${t} INTERFACE_LINK_LIBRARIES)
    if(NOT deps)
      continue()
    endif()
    foreach(d ${deps})
      if(d MATCHES "^Qt6::")
        set(qt TRUE)
      elseif(d IN_LIST layers)
        list(APPEND todo ${d})
      endif()
    endforeach()
  endwhile()
  set(${out_layers} ${seen} PARENT_SCOPE)
  set(${out_qt} ${qt} PARENT_SCOPE)
endfunction()

# The folders of the layers a layer reaches, and whether it reaches Qt.
function(qm_layer_reach_dirs target out_dirs out_qt)
  qm_layer_reach(${target} reach qt)
  set(dirs "")
  foreach(r ${reach})
    get_target_property(rdir ${r} QM_LAYER_DIR)
    list(APPEND dirs ${rdir})
  endforeach()
  set(${out_dirs} ${dirs} PARENT_SCOPE)
  set(${out_qt} ${qt} PARENT_SCOPE)
endfunction()

# Writes, for the include check (cmake/CheckIncludes.cmake), each layer's folder with
# the folders it may include and whether it may include Qt. Call once every layer is
# defined.
function(qm_write_layer_map file)
  get_property(layers GLOBAL PROPERTY QM_LAYERS)
  set(text "# Made by qm_write_layer_map from the layers' link libraries.\n")
  set(dirs "")
  foreach(layer ${layers})
    get_target_property(dir ${layer} QM_LAYER_DIR)
    list(APPEND dirs ${dir})
    qm_layer_reach_dirs(${layer} allowed qt)
    string(APPEND text "set(QM_LAYER_TARGET_${dir} ${layer})\n")
    string(APPEND text "set(QM_LAYER_REACH_${dir} \"${allowed}\")\n")
    string(APPEND text "set(QM_LAYER_QT_${dir} ${qt})\n")
  endforeach()
  string(APPEND text "set(QM_LAYER_DIRS \"${dirs}\")\n")
  file(WRITE ${file} "${text}")
endfunction()
