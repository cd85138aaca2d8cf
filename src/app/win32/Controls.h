#pragma once

// The two controls the Windows API has no ready class for: the toolbar
// panel with its raised one-pixel bevel, and the image button (image left
// of caption, drawn raised, sunken while pressed, never taking the focus).
// Both hand their children's and their own clicks to their parent as
// WM_COMMAND with BN_CLICKED.

#include <windows.h>

#include <string>

HWND CreatePanel(HWND parent, int id, HFONT font);

// image: a bitmap resource of the executable; the colour of its bottom-left
// pixel is drawn transparent.
HWND CreateImageButton(HWND parent, int id, const RECT& place, const std::wstring& caption,
                       const std::wstring& image, HFONT font);

// Whether the button is drawn pressed (the mouse went down on it and is still
// over it).
bool ImageButtonPressed(HWND button);
