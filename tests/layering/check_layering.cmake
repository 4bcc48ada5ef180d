# Checks the layering of the source tree: every #include "..." of a source folder names a header
# of a folder that this folder may use. Fails naming each file and include that breaks a rule.
#   cmake -DROOT=<top of the tree> -P check_layering.cmake
#
# The programs meet only through the server database and reach the ERP only by programmatic
# identifier, so a program folder uses common/ and platform/ besides itself; the ERP and the
# bridge are loadable libraries that no program links. admin/ (TQSRemoteAdmin) is the top: it
# lays out the server database, the reference ERP and the sample master data, and runs the
# server's and the broker's code in its ERP check. tests/, bench/ and fuzz/ are not checked.
cmake_minimum_required(VERSION 3.25)

set(layering_rules
  "common:common platform"
  "platform:platform common"
  "server:server common platform"
  "broker:broker common platform"
  "masterdata:masterdata common platform"
  "erp:erp common platform"
  "erp_bridge:erp_bridge common platform"
  "admin:admin server broker masterdata erp erp_bridge common platform")

if(NOT DEFINED ROOT)
  message(FATAL_ERROR "Usage: cmake -DROOT=<top of the tree> -P check_layering.cmake")
endif()

# The top-level folders of the tree: an include whose first part names none of them (a
# generated or outside header) is not the layering's concern.
file(GLOB top_entries RELATIVE "${ROOT}" "${ROOT}/*")
set(top_folders)
foreach(entry IN LISTS top_entries)
  if(IS_DIRECTORY "${ROOT}/${entry}")
    list(APPEND top_folders "${entry}")
  endif()
endforeach()

set(violations 0)
set(checked 0)
foreach(rule IN LISTS layering_rules)
  string(REPLACE ":" ";" rule_parts "${rule}")
  list(GET rule_parts 0 folder)
  list(GET rule_parts 1 allowed_text)
  string(REPLACE " " ";" allowed "${allowed_text}")
  file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cc"
       "${ROOT}/${folder}/*.hpp" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.inc")
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${ROOT}/${source}" include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS include_lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
      string(REGEX REPLACE "/.*$" "" included_folder "${included}")
      if(included STREQUAL included_folder)
        continue()  # a header beside the file, without a folder
      endif()
      if(NOT included_folder IN_LIST top_folders OR included_folder IN_LIST allowed)
        continue()
      endif()
      message("${source}: includes \"${included}\", but ${folder}/ may include only "
              "${allowed_text}")
      math(EXPR violations "${violations} + 1")
    endforeach()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) break the layering")
endif()
message(STATUS "Layering kept: ${checked} files checked")
