// The status reading and the text-to-integer rule against their reference.

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
  return 0;
}
