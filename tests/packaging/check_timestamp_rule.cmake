# Applies the signing rule to one setting and says "signing allowed" when it lets the build on.
#   cmake -DSOURCE_DIR=<source> -DCERTIFICATE=<p12> -DTIMESTAMP_URL=<url> -DALLOWED_WITHOUT=<bool>
#         -P check_timestamp_rule.cmake
include(${SOURCE_DIR}/cmake/signing.cmake)
tovalen_require_timestamp("${CERTIFICATE}" "${TIMESTAMP_URL}" "${ALLOWED_WITHOUT}")
message("signing allowed")
