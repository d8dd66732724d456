# Signs a copy of a program through the token path of sign_file.cmake, with a throwaway SoftHSM
# token and key made here, and verifies the signature with osslsigncode against the certificate.
#   cmake -DPROGRAM=<exe> -DWORK=<dir> -DSOURCE_DIR=<source> -DOSSLSIGNCODE=<path> -DSOFTHSM_UTIL=<path>
#         -DSOFTHSM_MODULE=<libsofthsm2.so> -DOPENSSL=<path> [-DPKCS11_ENGINE=<pkcs11.so>] -P check_pkcs11_signing.cmake
foreach(var PROGRAM WORK SOURCE_DIR OSSLSIGNCODE SOFTHSM_UTIL SOFTHSM_MODULE OPENSSL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${what} failed:\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tokens)
# The token lives in the work folder only; the machine's own SoftHSM configuration is not read.
file(WRITE ${WORK}/softhsm2.conf "directories.tokendir = ${WORK}/tokens\nobjectstore.backend = file\n")
set(ENV{SOFTHSM2_CONF} ${WORK}/softhsm2.conf)
set(ENV{TOVALEN_TEST_TOKEN_PIN} 4711)

run("Making the key" ${OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Tovalen token test"
    -keyout ${WORK}/key.pem -out ${WORK}/certificate.pem)
run("Making the token" ${SOFTHSM_UTIL} --init-token --free --label tovalen-test --pin 4711 --so-pin 4712)
run("Putting the key into the token" ${SOFTHSM_UTIL} --import ${WORK}/key.pem --token tovalen-test
    --label signing --id 01 --pin 4711)
file(REMOVE ${WORK}/key.pem)

get_filename_component(name ${PROGRAM} NAME)
file(COPY ${PROGRAM} DESTINATION ${WORK})
set(engine)
if(PKCS11_ENGINE)
  set(engine -DPKCS11_ENGINE=${PKCS11_ENGINE})
endif()
run("Signing through the token" ${CMAKE_COMMAND} -DFILE=${WORK}/${name} -DCERTIFICATE=${WORK}/certificate.pem
    -DPASSWORD_VARIABLE=TOVALEN_TEST_TOKEN_PIN -DPKCS11_MODULE=${SOFTHSM_MODULE} ${engine}
    "-DKEY=pkcs11:token=tovalen-test;object=signing;type=private" -DOSSLSIGNCODE=${OSSLSIGNCODE}
    -P ${SOURCE_DIR}/cmake/sign_file.cmake)
run("Verifying the signature" ${OSSLSIGNCODE} verify -CAfile ${WORK}/certificate.pem -in ${WORK}/${name})
if(NOT output MATCHES "Message digest algorithm *: SHA256")
  message(FATAL_ERROR "${name} is not signed with SHA-256:\n${output}")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "${name}: signed through a PKCS#11 token, and the signature verifies")
