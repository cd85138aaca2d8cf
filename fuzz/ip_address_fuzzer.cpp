// IsIpAddress against its reference: dots removed by the text rules, parts
// cut at dots found by plain byte search.

#include "FuzzCheck.h"
#include "core/Http.h"
#include "reference/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = quillo::fuzz::Bytes(data, size);
  quillo::fuzz::ExpectSame("IsIpAddress", quillo::IsIpAddress(input),
                           quillo::reference::IsIpAddress(input));
  return 0;
}
