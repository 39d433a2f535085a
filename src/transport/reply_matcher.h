#pragma once

#include <cstddef>
#include <cstdint>

namespace vk605 {

// Decides when a reply is complete: by an exact count of a counted text, an exact length and a
// terminator, each criterion active only when set.
class ReplyMatcher {
 public:
  virtual ~ReplyMatcher() = default;
  virtual void SetTerminator(const char* text);
  virtual const char* GetTerminator() const;
  virtual void SetExpectedLength(std::uint32_t length);
  virtual void SetRequiredCount(std::uint32_t count);
  virtual void SetCountedText(const char* text);
  virtual bool IsComplete(const char* data, std::size_t length) const;

  void SetTimeout(std::uint32_t ms) { timeout_ms_ = ms; }
  std::uint32_t GetTimeout() const { return timeout_ms_; }
  std::uint32_t GetExpectedLength() const { return expected_length_; }
  std::uint32_t GetRequiredCount() const { return required_count_; }

 private:
  std::uint32_t timeout_ms_ = 1000;
  std::uint32_t expected_length_ = 0;
  char terminator_[20] = {};
  std::uint32_t required_count_ = 0;
  char counted_text_[20] = {};
};

}  // namespace vk605
