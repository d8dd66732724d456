# Checks that a signed package and the program and custom action DLL inside it each carry a
# valid SHA-256 Authenticode signature of the given certificate.
#   cmake -DMSI=<msi> -DCA=<certificate.pem> -DWORK=<dir> -DOSSLSIGNCODE=<path> -DMSIEXTRACT=<path>
#         -DMSIINFO=<path> -P check_signatures.cmake
foreach(var MSI CA WORK OSSLSIGNCODE MSIEXTRACT MSIINFO)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(expect_signed file what)
  execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${CA} -in ${file}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${what} does not verify against ${CA}:\n${output}")
  endif()
  if(NOT output MATCHES "Message digest algorithm *: SHA256")
    message(FATAL_ERROR "${what} is not signed with SHA-256:\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
expect_signed(${MSI} "the package")

# The program as the package installs it, and the custom action DLL from its Binary table.
execute_process(COMMAND ${MSIEXTRACT} -C ${WORK} ${MSI} RESULT_VARIABLE failed OUTPUT_QUIET)
file(GLOB_RECURSE programs ${WORK}/*/tovalen.exe)
list(LENGTH programs count)
if(failed OR NOT count EQUAL 1)
  message(FATAL_ERROR "the package holds no one tovalen.exe: [${programs}]")
endif()
expect_signed(${programs} "tovalen.exe in the package")

execute_process(COMMAND ${MSIINFO} extract ${MSI} Binary.StopProgram
                OUTPUT_FILE ${WORK}/tovalen_stop.dll RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the package holds no custom action DLL")
endif()
expect_signed(${WORK}/tovalen_stop.dll "tovalen_stop.dll in the package")

file(REMOVE_RECURSE ${WORK})
message(STATUS "${MSI}: the package, tovalen.exe and tovalen_stop.dll are signed")
