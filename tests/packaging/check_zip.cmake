# Checks the ZIP: exactly one folder holding the program, the README and the licence of this build,
# and the Group Policy templates in its policy/ folder.
#   cmake -DZIP=<zip> -DFOLDER=<folder in the zip> -DPROGRAM=<exe> -DREADME=<md> -DLICENSE=<file>
#         -DADMX=<admx> -DADML=<adml> -DWORK=<dir> -P check_zip.cmake
foreach(var ZIP FOLDER PROGRAM README LICENSE ADMX ADML WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "cannot read ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected "${FOLDER}/;${FOLDER}/LICENSE;${FOLDER}/README.md;${FOLDER}/tovalen.exe")
list(APPEND expected "${FOLDER}/policy/" "${FOLDER}/policy/en-US/" "${FOLDER}/policy/en-US/tovalen.adml"
     "${FOLDER}/policy/tovalen.admx")
list(SORT expected)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "the ZIP holds [${entries}], expected [${expected}]")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
foreach(pair "tovalen.exe=${PROGRAM}" "README.md=${README}" "LICENSE=${LICENSE}" "policy/tovalen.admx=${ADMX}"
             "policy/en-US/tovalen.adml=${ADML}")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 original)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${FOLDER}/${name} ${original} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${name} in the ZIP is not ${original}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
message(STATUS "${ZIP}: ${entries}")
