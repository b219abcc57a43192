# libFuzzer targets and their bounded smoke runs, built with VANTOR_FUZZ=ON and
# clang. Any folder (libraries, tools, the application) adds its own:
#
#   vantor_fuzz_instrument(target)
#       compiles a library the fuzzers link with coverage and the sanitizers
#   vantor_add_fuzzer(name SOURCES file... [LIBS target...] [INCLUDES dir...]
#                     [DEFINES def...] CORPUS dir [MAX_LEN bytes] [SECONDS s]
#                     [LABELS label...] [ARGS libfuzzer-flag...])
#       the fuzzer executable and the CTest entry <name>_smoke (label fuzz),
#       which runs it for SECONDS (default 5) from a copy of the seed corpus
#       in CORPUS and prints how many inputs it ran.
#
# Without VANTOR_FUZZ both do nothing, so callers need no guard.
option(VANTOR_FUZZ "Build the libFuzzer targets and their smoke tests (needs clang)" OFF)
if(VANTOR_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VANTOR_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
endif()

# -O1 as libFuzzer advises: a Debug build runs far fewer inputs in a smoke's seconds.
set(VANTOR_FUZZ_SANITIZERS -O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

function(vantor_fuzz_instrument target)
  if(VANTOR_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link ${VANTOR_FUZZ_SANITIZERS})
  endif()
endfunction()

function(vantor_add_fuzzer name)
  if(NOT VANTOR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 F "" "CORPUS;MAX_LEN;SECONDS" "SOURCES;LIBS;INCLUDES;DEFINES;LABELS;ARGS")
  if(NOT F_SOURCES OR NOT F_CORPUS)
    message(FATAL_ERROR "vantor_add_fuzzer(${name}) needs SOURCES and CORPUS")
  endif()
  if(NOT IS_DIRECTORY ${F_CORPUS})
    message(FATAL_ERROR "vantor_add_fuzzer(${name}): no seed corpus at ${F_CORPUS}")
  endif()
  if(NOT F_MAX_LEN)
    set(F_MAX_LEN 4096)
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 5)
  endif()

  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${F_INCLUDES})
  target_compile_definitions(${name} PRIVATE ${F_DEFINES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${VANTOR_FUZZ_SANITIZERS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer ${VANTOR_FUZZ_SANITIZERS})
  target_link_libraries(${name} PRIVATE ${F_LIBS})

  # The run adds what it finds to a copy, so the tree stays clean.
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  file(COPY ${F_CORPUS}/ DESTINATION ${corpus})
  add_test(NAME ${name}_smoke
    COMMAND ${name} -max_total_time=${F_SECONDS} -seed=1 -max_len=${F_MAX_LEN} -print_final_stats=1 ${F_ARGS} ${corpus})
  set_tests_properties(${name}_smoke PROPERTIES LABELS "fuzz;${F_LABELS}" TIMEOUT 120)
endfunction()
