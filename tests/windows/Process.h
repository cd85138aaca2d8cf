#pragma once

// Starting the test's sibling executables and reading what they print.

#include <string>

namespace quillo::testing {

struct ProcessResult {
  unsigned long exitCode = 0;
  std::string output;  // standard output, as written
  bool timedOut = false;
};

// The folder this test executable lies in (no trailing separator).
std::wstring OwnDirectory();

// Runs commandLine, collecting its standard output; killed after timeoutMs.
ProcessResult RunProcess(const std::wstring& commandLine, unsigned long timeoutMs = 60000);

// commandLine's program is the given executable, quoted.
std::wstring Quoted(const std::wstring& text);

}  // namespace quillo::testing
