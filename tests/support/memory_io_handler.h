// An I/O handler that moves bytes in memory, for exact and fast tests of the connection and
// the protocols above it. A test scripts what the peer sends (arrivals split at any offsets,
// silences, a close, receive errors, one script per connection), captures what is sent,
// makes chosen sends fail or close, and can make any one operation fail.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "net/io_handler.h"

class TMemoryIOHandler : public TNetIOHandler {
 public:
  // What the handler does when the current connection's script is used up.
  enum class TAtEnd {
    // Every readable test times out. A receive made without one (a connection waiting
    // without limit, ReadTimeout 0, receives at once) would wait for ever; it raises
    // std::logic_error instead, so that the test fails rather than hangs.
    aeSilence,
    aePeerClose  // the peer closes
  };

  struct TConnectCall {
    std::string Host;
    int Port = 0;
    std::string BoundIP;
    int BoundPort = 0;
    int BoundPortLow = 0;
    int BoundPortHigh = 0;
    int TimeoutMs = 0;
  };

  explicit TMemoryIOHandler(TComponent* owner = nullptr);
  ~TMemoryIOHandler() override;

  // --- The peer's side of the script, consumed in order by the reads.
  // Bytes that arrive together: one receive returns at most one arrival (and never more
  // than it asked for; the rest stays for the next receive).
  TMemoryIOHandler& Arrive(const std::string& bytes);
  // The bytes as arrivals cut at the given offsets (ascending, within the bytes).
  TMemoryIOHandler& ArriveSplit(const std::string& bytes, const std::vector<size_t>& cuts);
  // The bytes as arrivals of at most `pieceSize` bytes.
  TMemoryIOHandler& ArriveInPieces(const std::string& bytes, size_t pieceSize);
  // The next `times` readable tests time out; a receive made without a readable test
  // waits through them.
  TMemoryIOHandler& Silence(int times = 1);
  // The peer closes: from here on every receive of this connection returns 0.
  TMemoryIOHandler& PeerClose();
  // One receive fails (-1) with this Winsock error code.
  TMemoryIOHandler& ReceiveError(int code);
  // What follows belongs to the next connection (the next ConnectToPeer).
  TMemoryIOHandler& NextConnection();

  TAtEnd AtEnd = TAtEnd::aeSilence;
  // Bytes of the script not yet received (up to the end of the current connection's part).
  std::string Unread() const;

  // --- The sending side.
  // Every byte sent, over all connections, and the bytes of each send call that took some.
  std::string Sent;
  std::vector<std::string> SentBlocks;
  // A send takes at most this many bytes (0 = all it is given).
  int MaxSend = 0;
  // The nth send call (1-based, over the handler's life) returns `result` instead of taking
  // bytes: 0 (closed) or -1 (an error with the Winsock `code`).
  TMemoryIOHandler& SendResult(int nth, int result, int code = 0);
  // Called after every send that took bytes, with those bytes; a test may script the
  // peer's answer from here.
  std::function<void(const std::string& bytes)> OnSent;

  // --- Connecting.
  std::vector<TConnectCall> Connects;
  // Called by ConnectToPeer after the socket counts as open; raising from it fails the
  // connect (the socket stays open, as a real failed connect leaves it allocated).
  std::function<void(const TConnectCall& call)> OnConnectToPeer;
  // Makes the handler count as connected without ConnectToPeer (for connection tests).
  void Open();

  // --- Failure injection. WaitReadable, ReceiveSome, SendSome and ConnectToPeer each count
  // as one operation; operation number FailAt (1-based; 0 = none) runs Failure instead of
  // its work. The default Failure raises ENetSocketError 10054.
  int FailAt = 0;
  std::function<void()> Failure;
  int Operations = 0;

  // --- TLS. With ClaimsTLS the handler answers that it carries TLS (the bytes still move
  // unchanged) and records each TLS step the client asks for, in order: "pass-through on",
  // "pass-through off", "server name NAME". TLS counts as running while pass-through is off.
  bool ClaimsTLS = false;
  std::vector<std::string> TLSSteps;

  // --- What the connection did.
  std::vector<int> WaitTimeouts;    // the time-out of every readable test
  std::vector<int> ReceiveLengths;  // the length asked for by every receive
  int SendCalls = 0;
  int OpenHandlerCalls = 0;
  int CloseHandlerCalls = 0;

  // TNetIOHandler
  void CloseHandler() override;
  void ConnectToPeer(const std::string& host, int port, const std::string& boundIP, int boundPort,
                     int boundPortLow, int boundPortHigh, int timeoutMs) override;
  bool IsOpen() override { return open_; }
  void OpenHandler() override;
  bool WaitReadable(int timeoutMs) override;
  int ReceiveSome(void* buffer, int length) override;
  int SendSome(const void* buffer, int length) override;
  bool CarriesTLS() const override { return ClaimsTLS; }
  bool TLSActive() const override { return ClaimsTLS && open_ && !pass_through_; }
  void SetPassThrough(bool on) override;
  void SetTLSServerName(const std::string& name) override;

  // Sets the stack's last socket error to a Winsock code, as a failing socket call would.
  static void SetLastSocketError(int code);

 private:
  enum class TStepKind { skBytes, skSilence, skPeerClose, skReceiveError, skNextConnection };
  struct TStep {
    TStepKind kind;
    std::string bytes;
    size_t offset = 0;
    int count = 0;  // silences left, or the error code
  };
  struct TSendResult {
    int nth;
    int result;
    int code;
  };
  // True when the operation was replaced by the injected failure (which normally raises).
  bool Inject();
  // The first step of the current connection, or none at its end.
  TStep* Current();
  void StartConnection();

  std::deque<TStep> steps_;
  std::vector<TSendResult> send_results_;
  bool open_ = false;
  bool pass_through_ = true;
  bool peer_closed_ = false;
  int connects_ = 0;
};

// What a call raised, as "CLASS: MESSAGE" ("" when it raised nothing), so that tests can
// compare the exception class and its exact message in one expectation.
std::string ErrorOf(const std::function<void()>& call);
