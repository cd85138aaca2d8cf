#include <gtest/gtest.h>
#include <iconv.h>

#include "core/Texts.h"

namespace quillo::texts {
namespace {

std::string Cp932ToUtf8(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out(bytes.size() * 3, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) return "<not CP932>";
  out.resize(out.size() - outLeft);
  return out;
}

TEST(Texts, JapaneseTextsAreStoredAsCp932) {
  const std::pair<std::string_view, const char*> cases[] = {
      {kDownloadStart, "ダウンロード開始"},
      {kPageProgressFormat, "%2dページ目 / 全%2dページ 処理開始"},
      {kDownloadDone, "ダウンロード完了"},
      {kRowSuffix, "行"},
      {kPageSuffix, "ページ"},
      {kIdeographicSpace, "\u3000"},
      {kLiteCaption, "ライト版"},
      {kBrowserUrlCaption, "IEからURLを取得"},
      {kCsvDownloadCaption, "CSVでダウンロード"},
      {kOleErrorFormat, "OLE エラー %.8x"},
  };
  for (const auto& [cp932, utf8] : cases) EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
}

}  // namespace
}  // namespace quillo::texts
