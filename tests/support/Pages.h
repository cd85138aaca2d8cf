#pragma once

// Builders for result pages in the site's markup.

#include <string>
#include <string_view>
#include <vector>

#include "core/PageParsing.h"

namespace quillo::testing {

inline std::string Entry(std::string_view body) {
  return std::string(markup::kEntryStart) + std::string(body) + "</TABLE>";
}

inline std::string Anchor(std::string_view href, std::string_view text) {
  return "<a href=\"" + std::string(href) + "\">" + std::string(text) + "</a>";
}

// A page with the given anchors and entry bodies, CR LF line ends between them.
inline std::string Page(const std::vector<std::string>& anchors,
                        const std::vector<std::string>& entries) {
  std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>\r\n";
  for (const auto& a : anchors) page += a + "\r\n";
  for (const auto& e : entries) page += Entry(e) + "\r\n";
  return page + "</body></html>\r\n";
}

}  // namespace quillo::testing
