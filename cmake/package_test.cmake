# Installs the libraries into a staging folder and builds and runs the consumer under examples/
# against them with find_package, so that broken packaging fails the test suite.
add_test(
  NAME packaging.consumer_builds_against_installed_package
  COMMAND
    ${CMAKE_COMMAND} -D "BUILD_DIR=${PROJECT_BINARY_DIR}"
    -D "STAGING_DIR=${PROJECT_BINARY_DIR}/package-test/install"
    -D "CONSUMER_SOURCE_DIR=${PROJECT_SOURCE_DIR}/examples"
    -D "CONSUMER_BUILD_DIR=${PROJECT_BINARY_DIR}/package-test/consumer"
    -D "CXX_COMPILER=${CMAKE_CXX_COMPILER}" -D "CXX_FLAGS=${CMAKE_CXX_FLAGS}"
    -D "BUILD_TYPE=${CMAKE_BUILD_TYPE}" -D "GENERATOR=${CMAKE_GENERATOR}" -P
    "${PROJECT_SOURCE_DIR}/cmake/run_package_test.cmake")
