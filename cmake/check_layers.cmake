# Fails when a file of a layer folder includes a folder that layer may not use: the window's
# folder from anywhere else, or a higher layer from a lower one.
#
#   cmake -DROOT=SOURCE_DIR -P cmake/check_layers.cmake
#
# Each layer may include itself and the folders listed for it; anything not listed (tests/,
# bench/, fuzz/) is not checked.
set(uses_base "")
set(uses_regex base)
set(uses_swf base)
set(uses_uri base)
set(uses_page uri regex base)
set(uses_cookies uri base)
set(uses_net base)
set(uses_http net cookies uri base)
set(uses_rescue page swf http regex net cookies uri base)
set(uses_cli rescue page swf http regex net cookies uri base)
set(uses_app rescue page swf http regex net cookies uri base)
set(layers base regex swf uri page cookies net http rescue cli app)
set(all_folders ${layers})

if(NOT ROOT)
  message(FATAL_ERROR "check_layers: give -DROOT=the source folder")
endif()
set(faults "")
foreach(layer ${layers})
  file(GLOB_RECURSE files ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" folder "${line}")
      list(FIND all_folders ${folder} known)
      list(FIND uses_${layer} ${folder} allowed)
      if(known GREATER -1 AND allowed EQUAL -1 AND NOT folder STREQUAL layer)
        file(RELATIVE_PATH shown ${ROOT} ${file})
        string(APPEND faults "\n  ${shown}: ${layer}/ may not include ${folder}/")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes that cross the layers:${faults}")
endif()
