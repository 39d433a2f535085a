#include "transport/reply_matcher.h"

#include <cstring>
#include <string_view>

namespace vk605 {

namespace {

// Copies at most size - 1 characters and always terminates; a null text clears the field.
void CopyBounded(char* field, std::size_t size, const char* text) {
  std::size_t length = text == nullptr ? 0 : ::strnlen(text, size - 1);
  if (length > 0) std::memcpy(field, text, length);
  field[length] = '\0';
}

// Non-overlapping matches of text in data, searched from the start. An empty text matches nothing.
std::size_t CountMatches(std::string_view data, std::string_view text) {
  if (text.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t at = data.find(text); at != std::string_view::npos;
       at = data.find(text, at + text.size())) {
    ++count;
  }
  return count;
}

}  // namespace

void ReplyMatcher::SetTerminator(const char* text) {
  CopyBounded(terminator_, sizeof terminator_, text);
}

const char* ReplyMatcher::GetTerminator() const {
  return terminator_;
}

void ReplyMatcher::SetExpectedLength(std::uint32_t length) {
  expected_length_ = length;
}

void ReplyMatcher::SetRequiredCount(std::uint32_t count) {
  required_count_ = count;
}

void ReplyMatcher::SetCountedText(const char* text) {
  CopyBounded(counted_text_, sizeof counted_text_, text);
}

bool ReplyMatcher::IsComplete(const char* data, std::size_t length) const {
  std::string_view terminator(terminator_);
  if (required_count_ == 0 && terminator.empty() && expected_length_ == 0) return true;
  std::string_view reply = data == nullptr ? std::string_view() : std::string_view(data, length);

  if (required_count_ > 0 && CountMatches(reply, counted_text_) != required_count_) return false;
  if (expected_length_ > 0 && reply.size() != expected_length_) return false;
  if (!terminator.empty() && !reply.ends_with(terminator)) return false;
  return true;
}

}  // namespace vk605
