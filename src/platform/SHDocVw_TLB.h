#pragma once

// The Windows shell's window list: class ShellWindows with its IShellWindows
// interface, and the IWebBrowser2 interface of its browser windows. The
// interfaces are the system headers' own; the identifiers are kept here so
// that nothing depends on which import library defines them. Windows only.

#include <windows.h>
// After windows.h, which they build on.
#include <exdisp.h>
#include <oaidl.h>

namespace quillo::shdocvw {

using ::IShellWindows;
using ::IWebBrowser2;

// {9BA05972-F6A8-11CF-A442-00A0C90A8F39}
inline constexpr CLSID kClassShellWindows = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
// {85CB6900-4D95-11CF-960C-0080C7F4EE85}
inline constexpr IID kIidIShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
// {D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}
inline constexpr IID kIidIWebBrowser2 = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
// {00000000-0000-0000-C000-000000000046}
inline constexpr IID kIidIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// An in-process or a local server.
inline constexpr DWORD kShellWindowsContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
static_assert(kShellWindowsContext == 5);

class CoShellWindows {
 public:
  // A new instance of the shell's window list, asked first for IUnknown and
  // then for IShellWindows. Returns the creation's result code; *list gets a
  // reference the caller releases, and stays nullptr when the creation
  // failed or the object lacks IShellWindows (which is still S_OK).
  static HRESULT Create(IShellWindows** list);
};

}  // namespace quillo::shdocvw
