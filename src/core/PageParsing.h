#pragma once

// Cuts a result page of the listings site apart by literal marker searches.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/SiteRoot.h"

namespace quillo {

using PageLinkList = std::vector<std::string>;
using LineSink = std::function<void(std::string_view line)>;

// The markers and fragments the parsing relies on, byte for byte.
namespace markup {
extern const std::string_view kLinkStart;    // <a href="/servlet/
extern const std::string_view kLinkEnd;      // </a>
extern const std::string_view kEntryStart;   // 128 bytes
extern const std::string_view kEntryEnd;     // </TABLE>
extern const std::string_view kSpacerCells;  // 660 bytes
// The eight fragments deleted from every entry, in deletion order; the
// fourth is compared without regard to case.
extern const std::string_view kEntryFragments[8];
inline constexpr int kCaseIgnoringFragment = 3;
}  // namespace markup

// Appends root + path for every further-page anchor, in page order: SiteRoot,
// or its https form for a page fetched over https.
void ExtractPageLinks(std::string_view text, PageLinkList& links,
                      std::string_view root = kSiteRoot);

// Hands one line per listing entry to sink, in page order.
void ExtractEntries(std::string_view text, const LineSink& sink);

}  // namespace quillo
