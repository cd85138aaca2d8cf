#pragma once

// The two controls the Windows API has no ready class for: the toolbar
// panel with its raised one-pixel bevel, and the image button (image left
// of caption, drawn raised, sunken while pressed, never taking the focus).
// Both hand their children's and their own clicks to their parent as
// WM_COMMAND with BN_CLICKED.

#include <windows.h>

#include <string>

// Bevels and edges are as thick as one pixel of the form at the window's
// density.
HWND CreatePanel(HWND parent, int id);

HWND CreateImageButton(HWND parent, int id, const std::wstring& caption);

// The button's font and image for a density: image, a bitmap resource of
// the executable, is drawn size large; the colour of its bottom-left pixel
// is drawn transparent.
void SetImageButtonLook(HWND button, HFONT font, const std::wstring& image, SIZE size);

// Whether the button is drawn pressed (the mouse went down on it and is still
// over it).
bool ImageButtonPressed(HWND button);
