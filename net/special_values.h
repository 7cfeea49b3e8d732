// The special values that handles, time-outs, lengths and counts of the network layer take
// besides ordinary ones. Several share a number (-1 and 0 above all); the name says which
// meaning a call wants.
#pragma once

#include <cstdint>

// No socket.
constexpr int kInvalidSocket = -1;
// The result of a failed socket call; the stack's LastErrorCode says why.
constexpr int kSocketError = -1;

// Time-outs, in milliseconds.
//
// A read waits as the connection's ReadTimeout says.
constexpr int kUseReadTimeout = -1;
// A wait without a limit. As a connect's time-out: the connect runs on the time-out thread
// (so that the anti-freeze keeps running), without a limit.
constexpr int kWaitForever = -2;
// As a ReadTimeout, a handshake's or a connect's time-out: there is none.
constexpr int kNoTimeout = 0;
// A connect on the calling thread, without the time-out thread (as kNoTimeout does).
constexpr int kPlainConnect = -1;
// FillInputBuffer's result when the wait ended without data and was not to raise.
constexpr int kReadTimedOut = -1;

// Lengths and counts, in bytes.
//
// ReadLine takes the connection's MaxLineLength.
constexpr int kUseMaxLineLength = -1;
// As a line length (ReadLine's or MaxLineLength): no limit.
constexpr int kNoLineLimit = 0;
// ReadIntoStream reads a 4-byte big-endian length first.
constexpr int64_t kReadLengthPrefix = -1;
// ReadIntoStream until the close: there is no count.
constexpr int64_t kNoByteCount = -1;
// WriteFromStream sends up to the stream's end.
constexpr int64_t kToStreamEnd = 0;
// StartWriteBuffering: no threshold, the buffer is sent only when buffering ends (0 does the
// same).
constexpr int kNoWriteThreshold = -1;
// FlushWriteBuffering sends everything buffered.
constexpr int64_t kFlushAll = -1;
