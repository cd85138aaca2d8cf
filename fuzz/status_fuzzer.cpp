// The status reading and the text-to-integer rule against their reference,
// and the move to https read from the same probe text.

#include "FuzzCheck.h"
#include "core/Http.h"
#include "core/TextRules.h"
#include "reference/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = quillo::fuzz::Bytes(data, size);
  quillo::fuzz::ExpectSame("TextToInt", quillo::text::TextToInt(input),
                           quillo::reference::TextToInt(input));
  quillo::fuzz::ExpectSame("IsByteValue", quillo::IsByteValue(input),
                           quillo::reference::IsByteValue(input));
  quillo::fuzz::ExpectSame("ReadStatus", quillo::ReadStatus(input),
                           quillo::reference::ReadStatus(input));
  // A move is followed only to the same address over https, and only for
  // the four move statuses.
  constexpr std::string_view kTarget = "https://listings.example/servlet/p?q=1";
  const bool moved = quillo::MovedToHttps(input, "listings.example", "/servlet/p?q=1");
  const int status = quillo::ReadStatus(input);
  quillo::fuzz::ExpectHolds(
      "a move only for 301, 302, 307 or 308",
      !moved || status == 301 || status == 302 || status == 307 || status == 308, input);
  quillo::fuzz::ExpectHolds("a move only to the same address over https",
                            !moved || input.find(kTarget) != std::string_view::npos, input);
  return 0;
}
