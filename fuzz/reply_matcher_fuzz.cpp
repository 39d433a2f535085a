// The reply matcher decides on every chunk the instrument sends whether a reply is complete. Input:
// "terminator\0counted text\0count and length\0reply bytes"; the third part's first byte gives the
// required count (0-7), the following two the expected length.
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "transport/reply_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 4);
  // The setters take C texts: the parts hold no NUL by construction.
  std::string terminator(parts[0]);
  std::string counted(parts[1]);
  std::string_view numbers = parts[2];
  std::string_view reply = parts[3];

  vk605::ReplyMatcher matcher;
  matcher.SetTerminator(terminator.c_str());
  matcher.SetCountedText(counted.c_str());
  std::uint32_t count = numbers.size() > 0 ? static_cast<std::uint8_t>(numbers[0]) % 8u : 0u;
  std::uint32_t length = 0;
  if (numbers.size() > 2) {
    length = static_cast<std::uint32_t>(static_cast<std::uint8_t>(numbers[1])) << 8 |
             static_cast<std::uint8_t>(numbers[2]);
  }
  matcher.SetRequiredCount(count);
  matcher.SetExpectedLength(length);

  const char* stored = matcher.GetTerminator();
  if (std::strlen(stored) > 19) Fail("terminator longer than its field");
  if (std::string_view(stored) != std::string_view(terminator).substr(0, 19)) Fail("terminator not kept");

  // The read loop asks after every chunk; ask for every prefix like a reply trickling in byte by byte.
  for (std::size_t n = 0; n <= reply.size(); ++n) {
    if (!matcher.IsComplete(reply.data(), n)) continue;
    std::string_view seen = reply.substr(0, n);
    if (length > 0 && n != length) Fail("complete at a length other than the expected one");
    if (stored[0] != '\0' && !seen.ends_with(stored)) Fail("complete without the terminator");
  }
  matcher.IsComplete(nullptr, 0);
  return 0;
}
