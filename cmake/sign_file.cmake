# Signs one file in place with Authenticode (SHA-256), with a timestamp when a server is given.
#   cmake -DFILE=<file> -DCERTIFICATE=<p12> -DPASSWORD_VARIABLE=<name> [-DTIMESTAMP_URL=<url>]
#         -DOSSLSIGNCODE=<osslsigncode> -P sign_file.cmake
# The certificate's password is taken from the environment variable PASSWORD_VARIABLE names, at
# build time: it never enters the cache, the build files or a command line that other processes
# can read, since it goes to osslsigncode through a pipe (-readpass -).
foreach(var FILE CERTIFICATE PASSWORD_VARIABLE OSSLSIGNCODE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
if(NOT DEFINED ENV{${PASSWORD_VARIABLE}})
  message(FATAL_ERROR "The password of ${CERTIFICATE} is expected in the environment variable ${PASSWORD_VARIABLE}")
endif()
find_program(PRINTENV printenv REQUIRED)

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()
get_filename_component(name ${FILE} NAME)
set(signed ${FILE}.signed)
file(REMOVE ${signed})
execute_process(
  COMMAND ${PRINTENV} ${PASSWORD_VARIABLE}
  COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${CERTIFICATE} -readpass - -h sha256 -n Tovalen ${timestamp}
          -in ${FILE} -out ${signed}
  RESULT_VARIABLE failed
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(failed)
  file(REMOVE ${signed})
  message(FATAL_ERROR "Signing ${name} failed:\n${output}")
endif()
file(RENAME ${signed} ${FILE})
