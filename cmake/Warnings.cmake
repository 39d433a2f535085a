# Warnings are errors for every target of the project.
function(vk605_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  # GCC 12 reports impossible overlaps inside std::string at -O2/-O3 (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# A library must really unload when the host frees it (its exit sequence runs then); GCC's unique
# symbols would pin it in memory.
function(vk605_unloadable target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
  endif()
endfunction()
