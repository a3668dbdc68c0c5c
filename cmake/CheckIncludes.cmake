# The include check: every file of a layer's folder includes only its own layer and the
# layers its link libraries reach, and Qt only where they reach Qt. Every layer has the
# whole of src/ on its include path, so an upward include would compile; this is what
# refuses it. Tests, benchmarks and fuzz targets are not checked: they may include
# anything.
#
#   cmake -DLAYER_MAP=<build>/LayerMap.cmake -DSOURCE_DIR=<checkout>/src -P CheckIncludes.cmake
#
# Prints one line per offending include, naming the file, the include and what its
# layer may include, and fails; prints a count and succeeds otherwise.
cmake_minimum_required(VERSION 3.25)
if(NOT LAYER_MAP OR NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DLAYER_MAP=<map> -DSOURCE_DIR=<src> -P CheckIncludes.cmake")
endif()
include(${LAYER_MAP})

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.hpp ${SOURCE_DIR}/*.cpp
     ${SOURCE_DIR}/*.c ${SOURCE_DIR}/*.def)
list(SORT files)
set(faults 0)
set(checked 0)
foreach(f ${files})
  # the layer is the nearest folder holding the file that is a layer's (a layer may keep
  # its families in sub-folders of its own)
  get_filename_component(dir ${f} DIRECTORY)
  while(dir AND NOT dir IN_LIST QM_LAYER_DIRS)
    get_filename_component(dir ${dir} DIRECTORY)
  endwhile()
  if(NOT dir)
    continue()  # not a layer (a run-time module built against its interface header)
  endif()
  math(EXPR checked "${checked} + 1")
  set(reach "${QM_LAYER_REACH_${dir}}")
  set(qt ${QM_LAYER_QT_${dir}})
  file(STRINGS ${SOURCE_DIR}/${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"].*$" "\\1;\\2" parsed "${line}")
    list(GET parsed 0 quote)
    list(GET parsed 1 header)
    set(why "")
    if(quote STREQUAL "<")
      if(header MATCHES "^Q[A-Za-z]*(/|$)" AND NOT qt)
        set(why "Qt, which ${QM_LAYER_TARGET_${dir}} does not link")
      endif()
    else()
      # a path from src/, or beside the including file
      if(header MATCHES "\\.\\.")
        get_filename_component(resolved ${SOURCE_DIR}/${dir}/${header} ABSOLUTE)
        file(RELATIVE_PATH header ${SOURCE_DIR} ${resolved})
      elseif(NOT header MATCHES "/")
        set(header ${dir}/${header})
      endif()
      get_filename_component(target_dir ${header} DIRECTORY)
      while(target_dir AND NOT target_dir IN_LIST QM_LAYER_DIRS)
        get_filename_component(target_dir ${target_dir} DIRECTORY)
      endwhile()
      if(NOT target_dir)
        get_filename_component(target_dir ${header} DIRECTORY)
      endif()
      if(target_dir IN_LIST QM_LAYER_DIRS AND NOT target_dir IN_LIST reach)
        set(why "the layer ${target_dir} (${QM_LAYER_TARGET_${target_dir}}), which ${QM_LAYER_TARGET_${dir}} does not link")
      elseif(NOT target_dir IN_LIST QM_LAYER_DIRS AND EXISTS ${SOURCE_DIR}/${header})
        set(why "${target_dir}, which is no layer ${QM_LAYER_TARGET_${dir}} links")
      endif()
    endif()
    if(why)
      string(REPLACE ";" ", " allowed "${reach}")
      if(quote STREQUAL "<")
        set(written "<${header}>")
      else()
        set(written "\"${header}\"")
      endif()
      message("src/${f}: #include ${written} reaches ${why}; "
              "${dir} may include only ${allowed}")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) against the layer order (src/CMakeLists.txt: a layer may "
                      "include only itself and the layers its DEPS reach)")
endif()
message("${checked} files of ${SOURCE_DIR} include only the layers under them")
