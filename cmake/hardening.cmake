# Sanitizer and fuzzing builds. Each lives in a build directory of its own
# (scripts/test.sh makes build-asan and build-fuzz); the normal build is untouched.
option(TORV_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TORV_FUZZ "Build the libFuzzer harnesses (needs clang)" OFF)

if(TORV_SANITIZE OR TORV_FUZZ)
  # Undefined behaviour aborts like a memory error does, so a test cannot pass over it.
  set(TORV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${TORV_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

if(TORV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TORV_FUZZ needs clang (libFuzzer), e.g. CC=clang-14 CXX=clang++-14")
  endif()
  # Coverage feedback for all our code; only the fuzzer executables link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
