// The buffered byte-stream connection that every protocol above the socket talks to. It
// fills an input buffer from its I/O handler in blocks and serves line reads, exact-count
// reads and reads into a stream from it; it sends text, lines, byte areas and streams,
// optionally collecting them first in a write buffer; and it turns a peer's close into a
// local close, a status report and, where the caller asks for it, ENetConnClosedGracefully.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/connection_intercept.h"
#include "net/io_handler.h"
#include "net/managed_buffer.h"
#include "net/net_component.h"
#include "net/rfc_reply.h"
#include "net/simple_buffer.h"
#include "net/special_values.h"

class TStream;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// What ReadLine does with a line longer than the limit.
enum class TNetMaxLineAction {
  maException,  // raise ENetReadLnMaxLineLengthExceeded
  maSplit       // return the first MaxLength bytes and leave the rest for the next read
};

class TNetTCPConnection : public TNetComponent {
 public:
  // Default of MaxLineLength: the longest line ReadLine returns whole.
  static constexpr int DefaultMaxLineLength = 16384;
  // Default size of one receive, and of the pieces of ReadIntoStream and WriteFromStream.
  static constexpr int DefaultBufferSize = 32768;
  // ReadIntoStream reserves room in the stream for at most this much beyond what has
  // arrived, so an announced length cannot make us reserve memory we were not sent.
  static constexpr int64_t PresizeLimit = 1024 * 1024;

  explicit TNetTCPConnection(TComponent* owner = nullptr);
  ~TNetTCPConnection() override;

  // Every received byte has its top bit cleared before it enters the input buffer.
  bool ASCIIFilter = false;
  // kNoLineLimit means no limit.
  int MaxLineLength = DefaultMaxLineLength;
  TNetMaxLineAction MaxLineAction = TNetMaxLineAction::maException;
  // Wait limit in ms for one receive of a read given kUseReadTimeout; kNoTimeout means no
  // limit.
  int ReadTimeout = kNoTimeout;
  int RecvBufferSize = DefaultBufferSize;
  int SendBufferSize = DefaultBufferSize;
  // Fired after the connection was closed.
  TNotifyEvent OnDisconnected;

  // The time by which the current transfer must have ended: no read waits beyond it, and one
  // that would raises ENetReadTimeout "Transfer time limit reached". None by default.
  using TClock = std::chrono::steady_clock;
  void SetDeadline(std::optional<TClock::time_point> deadline) { deadline_ = deadline; }
  // Milliseconds left before the deadline (0 once it has passed), or -1 without one.
  int DeadlineLeftMs() const;

  // The byte mover. Assigning a new one frees an owned one first.
  TNetIOHandler* IOHandler() const { return io_handler_; }
  void SetIOHandler(TNetIOHandler* handler);
  // The handler was created by the connection (at connect) and is freed by it.
  bool OwnsIOHandler() const { return owned_io_handler_ != nullptr; }
  TNetConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TNetConnectionIntercept* intercept);

  // A receive or send returned 0, or the socket was closed locally.
  bool PeerClosed() const { return peer_closed_; }
  // The last ReadLine returned a piece cut at the length limit.
  bool LineWasSplit() const { return line_was_split_; }
  // The last ReadLine ended without a line, leaving an incomplete one buffered.
  bool LineTimedOut() const { return line_timed_out_; }
  // Received bytes not yet consumed.
  TNetManagedBuffer& InputData() { return input_data_; }
  TNetRFCReply& Greeting() { return greeting_; }
  TNetRFCReply& LastReply() { return last_reply_; }
  // The write buffer, present only between StartWriteBuffering and EndWriteBuffering.
  TNetSimpleBuffer* PendingWrites() const { return pending_writes_.get(); }
  int WriteThreshold() const { return write_threshold_; }

  // Overridable operations, in their fixed order.
  virtual void NotifyDisconnected();
  // Empties the input buffer and forgets a peer close; runs at every connect.
  virtual void ResetInputState();
  virtual std::string ReadUntilClosed();
  // Acts on a recorded peer close: closes the socket, reports "Disconnected." and fires
  // OnDisconnected once; raises ENetConnClosedGracefully when asked and nothing is
  // buffered (or the buffer is to be ignored).
  virtual void CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer);
  // Waits at most 1 ms: bytes that are waiting are received, a close already made is seen.
  virtual void ProbePeerClosed(bool raiseIfClosed);
  // Raises the last reply as ENetProtocolReplyError unless its code is allowed (an empty
  // list allows any); returns the code.
  virtual int CheckReplyCode(const std::vector<int>& allowed);
  virtual bool IsConnected();
  // Close with events: "Disconnecting.", the socket closed, an owned handler freed,
  // OnDisconnected, "Disconnected.".
  virtual void CloseConnection();
  // Close without events.
  virtual void DropSocket();
  // Reads one reply (lines with LF, empty ones skipped, "NNN-" lines continued until
  // "NNN ") into LastReply and returns its code.
  virtual int ReadReply();
  [[noreturn]] virtual void RaiseLastReply();
  // Lets the caller raise its own class for the last reply (code, text); when `raise`
  // returns, the reply is raised as RaiseLastReply does.
  [[noreturn]] virtual void RaiseLastReplyAs(
      const std::function<void(int code, const std::string& text)>& raise);
  // The only receive from the socket: the count appended, 0 when the connection closed,
  // kReadTimedOut after a time-out that was not raised.
  virtual int FillInputBuffer(bool raiseIfDisconnected, int timeoutMs = kUseReadTimeout,
                              bool raiseOnTimeout = true);
  // An empty terminator means LF; with LF a CR before it is dropped too.
  virtual std::string ReadLine(const std::string& terminator = "\n",
                               int timeoutMs = kUseReadTimeout, int maxLength = kUseMaxLineLength);
  // Writes a line and reads the reply; returns its code (see CheckReplyCode).
  virtual int SendCommand(const std::string& command, const std::vector<int>& allowed = {});
  virtual void WriteText(const std::string& text);
  virtual void WriteLine(const std::string& text = std::string());
  virtual void WriteFromStream(TStream& stream, bool fromStart = true,
                               bool sendLengthPrefix = false, int64_t byteCount = kToStreamEnd);
  // Sends a file and returns its size; ENetFileNotFound when it does not exist.
  virtual int64_t WriteFileContent(const std::string& fileName);

  void ReadExact(void* dest, int64_t count);
  // With untilClosed the count is ignored (kNoByteCount).
  void ReadIntoStream(TStream& stream, int64_t byteCount = kReadLengthPrefix,
                      bool untilClosed = false);
  std::string ReadAvailable();
  int32_t ReadInteger32(bool convert = true);

  void WriteBytes(const void* source, int64_t count, bool immediately = false);
  void WriteInteger32(int32_t value, bool convert = true);
  void StartWriteBuffering(int threshold = kNoWriteThreshold);
  void FlushWriteBuffering(int64_t count = kFlushAll);
  void EndWriteBuffering();
  void DiscardWriteBuffering();

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  // Makes `handler` the I/O handler, owned by this connection.
  void AdoptIOHandler(std::unique_ptr<TNetIOHandler> handler);

 private:
  // Receives until the input buffer holds at least `count` bytes.
  void WaitForInput(int64_t count);
  // ReadIntoStream's work: `remaining` bytes (or all until the close) from the input buffer
  // and the connection into the stream.
  void MoveIntoStream(TStream& stream, int64_t remaining, bool untilClosed);
  // One receive into the input buffer: the handler's result (0 closed, kSocketError), with the
  // count that entered the buffer (after an intercept) in `appended`.
  int ReceiveBlock(int& appended);
  void SendBlock(const char* data, int64_t count);
  void ReleaseIOHandler();

  std::optional<TClock::time_point> deadline_;
  // Where ReceiveBlock puts what it receives instead of the input buffer, while set.
  char* receive_target_ = nullptr;
  int receive_target_size_ = 0;
  bool peer_closed_ = false;
  bool line_was_split_ = false;
  bool line_timed_out_ = false;
  TNetRFCReply greeting_;
  TNetManagedBuffer input_data_;
  TNetConnectionIntercept* intercept_ = nullptr;
  TNetIOHandler* io_handler_ = nullptr;
  std::unique_ptr<TNetIOHandler> owned_io_handler_;
  TNetRFCReply last_reply_;
  TNetSimpleBuffer receive_scratch_;
  std::unique_ptr<TNetSimpleBuffer> pending_writes_;
  int write_threshold_ = 0;
};
