# The rule every signing follows, for the build and for a test of it with cmake -P.
# tovalen_require_timestamp(<certificate> <timestamp-url> <allowed-without>): a signature without
# a timestamp stops validating when the certificate expires, and publisher rules of application
# control break with it; so signing without a timestamp server must be asked for by name.
function(tovalen_require_timestamp certificate timestamp_url allowed_without)
  if(certificate AND NOT timestamp_url AND NOT allowed_without)
    message(FATAL_ERROR
      "Signing with ${certificate} needs a timestamp server: set TOVALEN_TIMESTAMP_URL to an RFC 3161 "
      "server, or, for a test build only, TOVALEN_SIGN_WITHOUT_TIMESTAMP=ON (such signatures stop "
      "validating when the certificate expires).")
  endif()
endfunction()
