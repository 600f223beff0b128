# native_seed_capture: the unit tests with the parser entries of
# seed_capture.cpp wrapped, so that each input a test hands a parser becomes a
# fuzzing seed. The wrapped names are the parsers' mangled names; a changed
# signature fails the link here rather than capturing nothing.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/seed_capture.cpp TANDREL_WRAP_LINES REGEX "^(WRAP|WRAP_OPENER)\\(")
set(TANDREL_WRAP_OPTIONS)
foreach(line ${TANDREL_WRAP_LINES})
  if(line MATCHES "(_Z[0-9A-Za-z_]+)")
    list(APPEND TANDREL_WRAP_OPTIONS "-Wl,--wrap=${CMAKE_MATCH_1}")
  endif()
endforeach()
add_executable(native_seed_capture EXCLUDE_FROM_ALL ${TANDREL_UNIT_TEST_SOURCES} ${TANDREL_NATIVE_ONLY_TESTS}
                                   ${CMAKE_CURRENT_SOURCE_DIR}/seed_capture.cpp)
target_link_libraries(native_seed_capture PRIVATE native_parsers gtest gtest_main)
target_compile_definitions(native_seed_capture PRIVATE TANDREL_ROOT="${TANDREL_ROOT}")
target_link_options(native_seed_capture PRIVATE ${TANDREL_WRAP_OPTIONS})
