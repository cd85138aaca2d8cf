#pragma once

// The program's own texts that hold Japanese, stored as CP932 (Shift-JIS)
// bytes: page bytes are compared with them unconverted, and the window
// converts them for display like every other text.

#include <string_view>

namespace quillo::texts {

// ダウンロード開始
inline constexpr std::string_view kDownloadStart =
    "\x83_\x83"
    "E\x83\x93\x83\x8D\x81[\x83h\x8AJ\x8En";

// %2dページ目 / 全%2dページ 処理開始
inline constexpr std::string_view kPageProgressFormat =
    "%2d\x83y\x81[\x83W\x96\xDA / \x91S%2d\x83y\x81[\x83W \x8F\x88\x97\x9D\x8AJ\x8En";

// ダウンロード完了
inline constexpr std::string_view kDownloadDone =
    "\x83_\x83"
    "E\x83\x93\x83\x8D\x81[\x83h\x8A\xAE\x97\xB9";

// 行
inline constexpr std::string_view kRowSuffix = "\x8Ds";

// ページ
inline constexpr std::string_view kPageSuffix = "\x83y\x81[\x83W";

// U+3000 IDEOGRAPHIC SPACE
inline constexpr std::string_view kIdeographicSpace = "\x81@";

// ライト版
inline constexpr std::string_view kLiteCaption =
    "\x83\x89\x83"
    "C\x83g\x94\xC5";

// IEからURLを取得
inline constexpr std::string_view kBrowserUrlCaption =
    "IE\x82\xA9\x82\xE7URL\x82\xF0\x8E\xE6\x93\xBE";

// CSVでダウンロード
inline constexpr std::string_view kCsvDownloadCaption =
    "CSV\x82\xC5\x83_\x83"
    "E\x83\x93\x83\x8D\x81[\x83h";

// The names assistive technology reads for the result area and the status
// bar: 結果, 状態 (the URL field's is plain "URL").
inline constexpr std::string_view kResultAreaName = "\x8C\x8B\x89\xCA";
inline constexpr std::string_view kStatusBarName = "\x8F\xF3\x91\xD4";

// OLE エラー %.8x
inline constexpr std::string_view kOleErrorFormat = "OLE \x83G\x83\x89\x81[ %.8x";

}  // namespace quillo::texts
