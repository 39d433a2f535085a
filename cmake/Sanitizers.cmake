if(VK605_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(VK605_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(VK605_SANITIZE STREQUAL "fuzzer")
  # Fuzz targets (clang only): libFuzzer's coverage instrumentation everywhere, its main() linked only
  # into the fuzz executables (fuzz/CMakeLists.txt adds -fsanitize=fuzzer there).
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VK605_SANITIZE=fuzzer needs clang (CMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT VK605_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VK605_SANITIZE must be address, thread, fuzzer or empty")
endif()
