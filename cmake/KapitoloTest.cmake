# kapitolo_add_test(NAME tst_x SOURCES a.cpp LIBS kapitolo_core)
# One QtTest program, one CTest entry, always headless.
function(kapitolo_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test kapitolo_testsupport)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/runtime-kapitolo;KAPITOLO_TOOL=$<TARGET_FILE:kapitolo-tool>;KAPITOLO_PROGRAM_DIR=${KAPITOLO_PROGRAM_DIR}"
    TIMEOUT 300)
endfunction()
