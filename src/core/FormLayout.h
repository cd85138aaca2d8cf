#pragma once

// The main window's form as both windows build it (the Qt window on Linux,
// the Win32 window on Windows): places and sizes in pixels at 96 dots per
// inch, captions and initial texts as CP932. No toolkit here: each window
// reads these and draws with its own.

#include <string>
#include <string_view>

#include "core/Texts.h"

namespace quillo::form {

struct Place {
  int left;
  int top;
  int width;
  int height;
};

// The window: caption, outer size with the system's frame, client size.
inline constexpr std::string_view kCaption = "Form1";
inline constexpr int kOuterWidth = 538;
inline constexpr int kOuterHeight = 336;
inline constexpr int kClientWidth = 530;
inline constexpr int kClientHeight = 309;

// "ＭＳ ゴシック", 13 pixels high without internal leading, Shift-JIS
// character set; every control uses it.
inline constexpr std::string_view kFontFace =
    "\x82l\x82r \x83S\x83V\x83"
    "b\x83N";
inline constexpr int kFontPixelHeight = 13;
// Where that face is missing: Japanese gothic faces that free systems ship,
// in order of preference.
inline constexpr std::string_view kFontStandIns[] = {
    "IPAGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP", "TakaoGothic", "VL Gothic"};

// Panel1 spans the width at the top; StatusBar spans it at the bottom;
// Memo1 takes what lies between.
inline constexpr int kPanelHeight = 81;
inline constexpr int kStatusBarHeight = 21;

struct Button {
  std::string_view name;
  Place place;  // within Panel1
  std::string_view caption;
  std::string_view image;  // file name under res/
  int imageWidth;
  int imageHeight;
  // Alt with this letter presses the button, wherever the focus is in the
  // window; the caption stays as it is.
  char accessKey;
};

inline constexpr Button kSpeedButtons[3] = {
    {"SpeedButton1", {8, 8, 177, 33}, texts::kLiteCaption, "logo.bmp", 108, 30, 'L'},
    {"SpeedButton2", {200, 8, 153, 33}, texts::kBrowserUrlCaption, "browser.bmp", 30, 30, 'I'},
    {"SpeedButton3", {368, 8, 153, 33}, texts::kCsvDownloadCaption, "csv.bmp", 32, 30, 'D'},
};

// A button's tooltip: its caption and its key, "ライト版 (Alt+L)".
inline std::string ToolTip(const Button& button) {
  return std::string(button.caption) + " (Alt+" + button.accessKey + ")";
}

// Between a button's image and its caption.
inline constexpr int kImageCaptionGap = 4;

// Where a button draws its image and caption (top-left corners within the
// button): the two as one block, the gap between them, centred; a pressed
// button moves them one pixel right and down. Sizes of 0 mean none.
struct ButtonContent {
  int imageLeft;
  int imageTop;
  int textLeft;
  int textTop;
};

constexpr ButtonContent LayOutButton(int width, int height, int imageWidth, int imageHeight,
                                     int textWidth, int textHeight, bool pressed) {
  const int shift = pressed ? 1 : 0;
  const int gap = imageWidth > 0 && textWidth > 0 ? kImageCaptionGap : 0;
  const int left = (width - (imageWidth + gap + textWidth) + 1) / 2 + shift;
  return {left, (height - imageHeight + 1) / 2 + shift, left + imageWidth + gap,
          (height - textHeight + 1) / 2 + shift};
}

inline constexpr Place kEdit1 = {8, 48, 513, 19};  // within Panel1, empty at start
inline constexpr std::string_view kMemo1Text = "Memo1";

// What a screen reader calls the two text fields and the status bar (the
// buttons are called by their captions).
inline constexpr std::string_view kEdit1Name = "URL";
inline constexpr std::string_view kMemo1Name = texts::kResultAreaName;
inline constexpr std::string_view kStatusBarName = texts::kStatusBarName;

}  // namespace quillo::form
