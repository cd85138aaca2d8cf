#include "Process.h"

#include <windows.h>

#include <vector>

namespace quillo::testing {

std::wstring OwnDirectory() {
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size()) {
    path.resize(path.size() * 2);
  }
  std::wstring full(path.data(), length);
  return full.substr(0, full.find_last_of(L"\\/"));
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

ProcessResult RunProcess(const std::wstring& commandLine, unsigned long timeoutMs) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {~0ul, "CreatePipe failed", false};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;  // CreateProcessW may write into it
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);  // the child holds the only write end now
  if (!started) {
    CloseHandle(readEnd);
    return {~0ul, "CreateProcess failed: " + std::to_string(GetLastError()), false};
  }

  // Poll rather than block in ReadFile: a grandchild that inherited the
  // pipe (a handler the shell started) may keep it open after the child ends.
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DWORD available = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char chunk[4096];
      DWORD got = 0;
      if (!ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) || got == 0) break;
      result.output.append(chunk, got);
    }
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) {
      if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
        break;
      }
    } else if (GetTickCount64() > deadline) {
      result.timedOut = true;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
      break;
    }
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  return result;
}

}  // namespace quillo::testing
