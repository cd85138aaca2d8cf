# Compiles the given sources for 64-bit Windows with mingw-w64 (syntax and
# semantics only, no objects), with the project's warnings as errors.
# Prints "mingw-w64 compiler not found" (the test counts as skipped) when the
# cross compiler is not installed.
find_program(MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
if(NOT MINGW_CXX)
  message("mingw-w64 compiler not found: skipped")
  return()
endif()

execute_process(
  COMMAND "${MINGW_CXX}" -std=c++20 -fsyntax-only
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror
    "-I${SOURCE_DIR}" "-I${GENERATED_DIR}" ${SOURCES}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${MINGW_CXX} failed on the Windows sources (${result})")
endif()
message("Windows sources compile with ${MINGW_CXX}")
