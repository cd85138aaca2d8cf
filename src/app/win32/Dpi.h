#pragma once

// The screen density a window draws for. The per-window calls came with
// Windows 10; they are looked up when first needed, and without them the
// system's density stands for every window.

#include <windows.h>

// Dots per inch of the window's monitor (the system's, where the system
// keeps one density for all).
UINT DpiOf(HWND window);

// The density a window gets before it exists.
UINT SystemDpi();

// Widens a client rectangle to the window's outer one, its frame drawn for
// dpi.
void AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
