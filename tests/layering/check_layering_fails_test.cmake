# Runs check_layering.cmake over a small tree with one allowed include and three that break the
# rules, and fails unless the check fails naming exactly those three.
#   cmake -DWORK=<scratch folder> -P check_layering_fails_test.cmake
cmake_minimum_required(VERSION 3.25)
set(tree "${WORK}/tree")
file(REMOVE_RECURSE "${tree}")
file(WRITE "${tree}/admin/tool.h" "#include \"erp/seed.h\"\n#include \"server/jobsheet.h\"\n")
file(WRITE "${tree}/server/host/answers.cc"
     "#include \"server/jobsheet.h\"\n#include <vector>\n#include \"admin/queue_health.h\"\n")
file(WRITE "${tree}/server/jobsheet.h" "  #  include \"erp/store.h\"\n")
file(WRITE "${tree}/broker/pass.cc" "#include \"common/text.h\"\n#include \"masterdata/run.h\"\n")
file(WRITE "${tree}/common/text.h" "#include \"generated.h\"\n")
foreach(folder IN ITEMS erp masterdata platform)
  file(MAKE_DIRECTORY "${tree}/${folder}")
endforeach()

execute_process(COMMAND "${CMAKE_COMMAND}" -DROOT=${tree}
                        -P "${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(report "${out}${err}")
if(status EQUAL 0)
  message(FATAL_ERROR "The check passed a tree that breaks the layering:\n${report}")
endif()
foreach(expected IN ITEMS "server/host/answers.cc: includes \"admin/queue_health.h\""
                          "server/jobsheet.h: includes \"erp/store.h\""
                          "broker/pass.cc: includes \"masterdata/run.h\""
                          "3 include(s) break the layering")
  string(FIND "${report}" "${expected}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "The check's report lacks '${expected}':\n${report}")
  endif()
endforeach()
foreach(allowed IN ITEMS "erp/seed.h" "server/jobsheet.h\"," "common/text.h" "generated.h")
  string(FIND "${report}" "${allowed}" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "The check reports an allowed include (${allowed}):\n${report}")
  endif()
endforeach()
message(STATUS "The check names each include that breaks the layering")
