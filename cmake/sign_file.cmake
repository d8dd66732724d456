# Signs one file in place with Authenticode (SHA-256), with a timestamp when a server is given.
#   cmake -DFILE=<file> -DCERTIFICATE=<p12> -DPASSWORD_VARIABLE=<name> [-DTIMESTAMP_URL=<url>]
#         -DOSSLSIGNCODE=<osslsigncode> -P sign_file.cmake
# With the key in a PKCS#11 token or key store, CERTIFICATE is the certificate file alone and
#   -DPKCS11_MODULE=<module.so> -DKEY=<pkcs11: URI> [-DPKCS11_ENGINE=<engine.so>]
# name the token's module and the key in it.
# The password (for a token, its PIN) is taken from the environment variable PASSWORD_VARIABLE
# names, at build time: it never enters the cache, the build files or a command line that other
# processes can read, since it goes to osslsigncode through a pipe (-readpass -). A token that
# asks for no PIN needs no such variable.
foreach(var FILE CERTIFICATE PASSWORD_VARIABLE OSSLSIGNCODE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
set(key -pkcs12 ${CERTIFICATE})
if(PKCS11_MODULE)
  set(key -pkcs11module ${PKCS11_MODULE} -certs ${CERTIFICATE} -key ${KEY})
  if(PKCS11_ENGINE)
    list(PREPEND key -pkcs11engine ${PKCS11_ENGINE})
  endif()
elseif(NOT DEFINED ENV{${PASSWORD_VARIABLE}})
  message(FATAL_ERROR "The password of ${CERTIFICATE} is expected in the environment variable ${PASSWORD_VARIABLE}")
endif()
find_program(PRINTENV printenv REQUIRED)
set(password_pipe COMMAND ${PRINTENV} ${PASSWORD_VARIABLE})
set(read_password -readpass -)
if(NOT DEFINED ENV{${PASSWORD_VARIABLE}})
  set(password_pipe)
  set(read_password)
endif()

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()
get_filename_component(name ${FILE} NAME)
set(signed ${FILE}.signed)
file(REMOVE ${signed})
execute_process(
  ${password_pipe}
  COMMAND ${OSSLSIGNCODE} sign ${key} ${read_password} -h sha256 -n Tovalen ${timestamp}
          -in ${FILE} -out ${signed}
  RESULT_VARIABLE failed
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(failed)
  file(REMOVE ${signed})
  message(FATAL_ERROR "Signing ${name} failed:\n${output}")
endif()
file(RENAME ${signed} ${FILE})
