# Checks the ZIP: exactly one folder holding the program, the README, the licence, the notices and
# the bill of materials of this build, and the Group Policy templates in its policy/ folder.
#   cmake -DZIP=<zip> -DFOLDER=<folder in the zip> -DPROGRAM=<exe> -DREADME=<md> -DLICENSE=<file>
#         -DNOTICES=<txt> -DSBOM=<cdx.json> -DADMX=<admx> -DADML=<adml> -DWORK=<dir> -P check_zip.cmake
foreach(var ZIP FOLDER PROGRAM README LICENSE NOTICES SBOM ADMX ADML WORK)
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
get_filename_component(sbom_name ${SBOM} NAME)
set(expected "${FOLDER}/;${FOLDER}/LICENSE;${FOLDER}/README.md;${FOLDER}/tovalen.exe;${FOLDER}/THIRD-PARTY-NOTICES.txt")
list(APPEND expected "${FOLDER}/${sbom_name}")
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
foreach(pair "tovalen.exe=${PROGRAM}" "README.md=${README}" "LICENSE=${LICENSE}" "THIRD-PARTY-NOTICES.txt=${NOTICES}"
             "${sbom_name}=${SBOM}" "policy/tovalen.admx=${ADMX}"
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
