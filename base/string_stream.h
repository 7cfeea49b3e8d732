// A text stream: a stream whose content is one byte string.
#pragma once

#include <string>

#include "base/stream.h"

class TStringStream : public TStream {
 public:
  explicit TStringStream(std::string text = std::string()) : data_(std::move(text)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  const std::string& DataString() const { return data_; }
  // Hands the content over, leaving the stream empty.
  std::string TakeDataString();

 private:
  std::string data_;
  int64_t position_ = 0;
};
