// What every fuzz target shares: the input as a byte string cut into parts, and a name
// lookup that never asks a resolver, so that no target can reach the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size);

  // The whole input.
  const std::string& Text() const { return text_; }
  // The input cut at every line feed (the separator left out), at most `count` parts; the
  // last part holds the rest, line feeds included.
  std::vector<std::string> Parts(size_t count) const;
  // The first byte as a small choice (0 when the input is empty), and the input without it.
  uint8_t Choice() const { return text_.empty() ? 0 : static_cast<uint8_t>(text_[0]); }
  std::string AfterChoice() const { return text_.empty() ? std::string() : text_.substr(1); }

 private:
  std::string text_;
};

// Every target is linked with this file's LLVMFuzzerInitialize, which replaces the stack's
// host lookup before the first input: a name that is not a dotted address fails as an
// unknown host.
