include(GoogleTest)

set(KEST_WITH_X11 "${PROJECT_SOURCE_DIR}/tests/support/with-x11")
set(KEST_WITH_A11Y "${PROJECT_SOURCE_DIR}/tests/support/with-a11y")

# kest_test_tier(<out-var>): the tier of the tests declared in the current
# folder, from its place under tests/; a test declared anywhere else is a
# mistake in the build files and stops the configuration.
function(kest_test_tier out)
  file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
  string(REGEX MATCH "^[^/]+" tier "${rel}")
  if(NOT tier MATCHES "^(unit|integration|e2e|fuzz)$")
    message(FATAL_ERROR "tests belong under tests/unit, tests/integration, tests/e2e or "
                        "tests/fuzz; ${CMAKE_CURRENT_SOURCE_DIR} is none of them")
  endif()
  set(${out} ${tier} PARENT_SCOPE)
endfunction()

# kest_add_test(<name> SOURCES ... [LIBS ...] [X11] [WM] [TRAY] [WEB] [A11Y]
#               [SCREEN WxH] [LABELS ...] [TIMEOUT s] [ENV k=v ...])
#
# Builds a GoogleTest program and registers it with CTest as one test.
#   X11   runs it on its own Xvfb display with a session bus (tests/support/with-x11)
#   WM    also starts openbox; TRAY also starts trayer (both imply X11)
#   A11Y  also starts the accessibility bus (tests/support/with-a11y; implies X11)
#   SCREEN the X display's size in device pixels (default with-x11's)
#   WEB   the program starts the browser engine: engine flags for headless runs,
#         and leak detection off (the engine's own allocations outlive main)
# Without X11 the test runs on Qt's offscreen platform.
# The test's tier, the folder under tests/ it is declared in (unit,
# integration, e2e), is always among its labels, so `ctest -L unit` runs the
# quick tier whatever else a test is labelled.
function(kest_add_test name)
  cmake_parse_arguments(T "X11;WM;TRAY;WEB;A11Y" "TIMEOUT;SCREEN" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  kest_test_tier(tier)
  list(PREPEND T_LABELS ${tier})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kest_common_cfg kest_test_support GTest::gtest ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")

  set(env "KEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "KEST_BINARY_DIR=${CMAKE_BINARY_DIR}"
          "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
          "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(T_WEB)
    list(REMOVE_ITEM env "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0")
    # The engine frees some of its own objects with a sized delete of another
    # type (inside libQt6WebEngineCore, no frame of ours); the sanitizer keeps
    # watching our code instead of stopping there.
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:new_delete_type_mismatch=0")
  endif()
  list(APPEND env ${T_ENV})

  set(wrapper)
  if(T_X11 OR T_WM OR T_TRAY OR T_A11Y OR T_SCREEN)
    set(wrapper "${KEST_WITH_X11}")
    if(T_SCREEN)
      list(APPEND wrapper --size ${T_SCREEN})
    endif()
    if(T_WM)
      list(APPEND wrapper --wm)
    endif()
    if(T_TRAY)
      list(APPEND wrapper --tray)
    endif()
    list(APPEND wrapper --)
    if(T_A11Y)
      list(APPEND wrapper "${KEST_WITH_A11Y}")
      list(APPEND T_LABELS a11y)
    endif()
    list(APPEND T_LABELS x11)
  else()
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()

  add_test(NAME ${name} COMMAND ${wrapper} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  list(REMOVE_DUPLICATES T_LABELS)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                                          LABELS "${T_LABELS}")
endfunction()

# kest_add_fuzz_test(<name> SOURCES <file>... [HEADERS <file>...] SEEDS <dir>)
#
# A libFuzzer target over Qt-free code, built with clang beside the main build
# (which may use another compiler) and run for a bounded time from its seeds,
# keeping what it finds in a corpus folder of the build. Labelled "fuzz": the
# target carries its own sanitizers, so the sanitizer suite leaves it out.
function(kest_add_fuzz_test name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;HEADERS;LIBS" ${ARGN})
  find_program(KEST_CLANGXX NAMES clang++-14 clang++)
  if(NOT KEST_CLANGXX)
    message(STATUS "clang++ not found: ${name} is not built")
    return()
  endif()
  set(werror)
  if(KEST_WERROR)
    set(werror -Werror)
  endif()
  set(out "${CMAKE_BINARY_DIR}/fuzz/${name}")
  set(corpus "${CMAKE_BINARY_DIR}/fuzz/corpus_${name}")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${corpus}"
    COMMAND "${KEST_CLANGXX}" -std=c++20 -O1 -g -Wall -Wextra ${werror}
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I "${PROJECT_SOURCE_DIR}" ${F_SOURCES} ${F_LIBS} -o "${out}"
    DEPENDS ${F_SOURCES} ${F_HEADERS}
    COMMENT "Building fuzz target ${name}")
  add_custom_target(${name} ALL DEPENDS "${out}")
  add_test(NAME ${name}
           COMMAND "${out}" -max_total_time=30 -print_final_stats=1 "${corpus}" "${F_SEEDS}")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300
                       ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")
endfunction()
