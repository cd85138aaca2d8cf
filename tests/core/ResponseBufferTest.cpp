#include "core/ResponseBuffer.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Error.h"

namespace quillo {
namespace {

// The bound counts the whole response, status line and headers included:
// exactly the limit is kept, one byte more ends the page with the message.
TEST(ResponseBuffer, KeepsExactlyTheLimitAndRefusesOneByteMore) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
  const std::string body(ResponseBuffer::kMaxSize / 4, 'x');
  ResponseBuffer buffer;
  buffer.append(head.data(), head.size());
  for (int i = 0; i < 3; ++i) buffer.append(body.data(), body.size());
  buffer.append(body.data(), body.size() - head.size());
  EXPECT_EQ(buffer.size(), ResponseBuffer::kMaxSize);
  try {
    buffer.append("x", 1);
    FAIL() << "one byte over the limit was kept";
  } catch (const Error& e) {
    EXPECT_EQ(e.message(), "The page is larger than the limit of 256 MiB");
  }
  EXPECT_EQ(buffer.size(), ResponseBuffer::kMaxSize);
}

}  // namespace
}  // namespace quillo
