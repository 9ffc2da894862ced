# Shared build helpers.

find_package(GTest REQUIRED)

# brevanta_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# One GoogleTest program, registered with CTest as one test per case.
function(brevanta_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                          Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# brevanta_fuzz(NAME name SOURCES ... LIBS ... [CORPUS dir])
# A libFuzzer target (LLVMFuzzerTestOneInput). With libFuzzer off it links a
# small driver that replays the corpus and a few thousand generated inputs, so
# every build exercises the target under its sanitizers.
function(brevanta_fuzz)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} Threads::Threads)
  if(BREVANTA_LIBFUZZER)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/driver.cpp)
    set(corpus "")
    if(F_CORPUS)
      set(corpus ${F_CORPUS})
    endif()
    add_test(NAME fuzz.${F_NAME} COMMAND ${F_NAME} ${corpus})
    set_tests_properties(fuzz.${F_NAME} PROPERTIES TIMEOUT 120 LABELS fuzz)
  endif()
endfunction()
