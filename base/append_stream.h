// A stream that bytes can only be added to at its end, and that can be cut back to empty to
// start over, for consumers that take a body as it arrives and keep nothing to read back.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/stream.h"

class TAppendStream : public TStream {
 public:
  // Nothing can be read back.
  int64_t Read(void*, int64_t) override { return 0; }
  // Raises EWriteError "Stream write error" unless the position is the end.
  int64_t Write(const void* buffer, int64_t count) override;
  // Room from AppendRoom, at the end only.
  char* RoomToWrite(int64_t& count) override;
  void CommitWritten(int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // A larger size is room asked for ahead of the data and changes nothing; 0 starts over (what
  // arrived was a redirection's body, say); any other cut raises EStreamError with the message
  // given at construction.
  void SetSize(int64_t size) override;
  int64_t Size() override { return size_; }

 protected:
  explicit TAppendStream(std::string cutMessage) : cut_message_(std::move(cutMessage)) {}

  // The bytes written, in order.
  virtual void Append(const char* bytes, size_t count) = 0;
  // Room for up to `count` more bytes (lowered to the room there is, never to 0), which
  // AppendWritten then takes; nullptr (the default): bytes come through Append only.
  virtual char* AppendRoom(size_t&) { return nullptr; }
  virtual void AppendWritten(size_t) {}
  // Forgets what was appended.
  virtual void StartOver() = 0;

 private:
  std::string cut_message_;
  int64_t size_ = 0;
  int64_t position_ = 0;
};
