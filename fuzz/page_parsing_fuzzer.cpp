// ExtractPageLinks and ExtractEntries against the reference written straight
// from the parsing rules. The input is the whole page, header lines and all.

#include "FuzzCheck.h"
#include "core/PageParsing.h"
#include "reference/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page = quillo::fuzz::Bytes(data, size);

  quillo::PageLinkList links;
  quillo::ExtractPageLinks(page, links);
  quillo::fuzz::ExpectSame("ExtractPageLinks", links, quillo::reference::ExtractPageLinks(page));

  std::vector<std::string> lines;
  quillo::ExtractEntries(page, [&](std::string_view line) { lines.emplace_back(line); });
  quillo::fuzz::ExpectSame("ExtractEntries", lines, quillo::reference::ExtractEntries(page));
  return 0;
}
