#include "core/PageParsing.h"

#include <array>

#include "core/SiteRoot.h"
#include "core/TextRules.h"
#include "core/Texts.h"

namespace quillo {
namespace markup {

const std::string_view kLinkStart = "<a href=\"/servlet/";
const std::string_view kLinkEnd = "</a>";
const std::string_view kEntryStart =
    "<TABLE border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"520\"><TR><TD width=\"276\" "
    "STYLE=\"word-break: break-all\"><FONT size=\"-1\">";
const std::string_view kEntryEnd = "</TABLE>";

namespace {
#define QUILLO_SPACER_CELL                                                            \
  "<TD width=\"24\" height=\"24\"><IMG src=\"/images/space.gif\" width=24 height=24>" \
  "<BR><BR><IMG src=\"/images/space.gif\" width=24 height=24></TD>"
// The ideographic space (0x81 0x40) sits between the 16-pixel cell's tags.
constexpr char kSpacerText[] =
    "</FONT></TD>" QUILLO_SPACER_CELL "<TD width=1></TD>" QUILLO_SPACER_CELL
    "<TD width=1></TD>" QUILLO_SPACER_CELL "<TD width=1></TD>" QUILLO_SPACER_CELL
    "<TD width=\"16\">\x81\x40</TD><TD width=\"47\" valign=\"middle\">";
#undef QUILLO_SPACER_CELL
}  // namespace

const std::string_view kSpacerCells(kSpacerText, sizeof kSpacerText - 1);

const std::string_view kEntryFragments[8] = {
    "<IMG SRC=\"/images/icn_n.gif\" border=\"0\" ALT=\"\"></A><BR></TD></TR><TR><TD "
    "colspan=\"12\"><HR width=\"100%\" SIZE=\"2\"></TD></TR>",
    kSpacerCells,
    "<IMG src=\"/images/zip.gif\">",
    " target=_blank",
    "<FONT size=\"-1\">",
    "</FONT>",
    "</A>",
    "<BR><A HREF=\"/guide/lite/sw9404.html\">",
};

}  // namespace markup

void ExtractPageLinks(std::string_view text, PageLinkList& links, std::string_view root) {
  // A search from an offset counts the double-byte rule from there, as a
  // search in a copy of the rest would.
  const text::SearchText page(text);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t start = page.find(markup::kLinkStart, pos);
    if (start == text::npos) return;
    const std::size_t end = page.find(markup::kLinkEnd, start);
    if (end == text::npos) return;
    const std::string_view anchor = page.visible().substr(start, end - start);
    pos = end + markup::kLinkEnd.size();

    if (text::EndsTextIgnoreCase(anchor, texts::kRowSuffix) ||
        text::EndsTextIgnoreCase(anchor, texts::kPageSuffix)) {
      continue;  // "next page" and rows-per-page anchors
    }
    const std::size_t open = text::Find(anchor, "\"");
    const std::string_view value = anchor.substr(open + 1);
    const std::size_t close = text::Find(value, "\"");
    std::string link(root);
    if (close != text::npos) link.append(value.substr(0, close));
    links.push_back(std::move(link));
  }
}

void ExtractEntries(std::string_view text, const LineSink& sink) {
  const std::string oneLine = text::DeleteLineBreaks(text);
  const text::SearchText page(oneLine);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t marker = page.find(markup::kEntryStart, pos);
    if (marker == text::npos) return;
    const std::size_t start = marker + markup::kEntryStart.size();
    const std::size_t end = page.find(markup::kEntryEnd, start);
    if (end == text::npos) return;
    pos = end + markup::kEntryEnd.size();

    std::string line(page.visible().substr(start, end - start));
    for (int i = 0; i < 8; ++i) {
      const std::string_view fragment = markup::kEntryFragments[i];
      line = i == markup::kCaseIgnoringFragment ? text::DeleteAllIgnoreCase(line, fragment)
                                                : text::DeleteAll(line, fragment);
    }
    sink(line);
  }
}

}  // namespace quillo
