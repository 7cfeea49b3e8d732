#include "tests/support/memory_io_handler.h"

#include <cstring>
#include <stdexcept>

#include "base/net_exceptions.h"
#include "net/stack.h"

TMemoryIOHandler::TMemoryIOHandler(TComponent* owner) : TNetIOHandler(owner) {
  Failure = [] { GlobalStack->ThrowSocketError(kErrConnectionReset); };
}

TMemoryIOHandler::~TMemoryIOHandler() {
  TMemoryIOHandler::CloseHandler();
}

TMemoryIOHandler& TMemoryIOHandler::Arrive(const std::string& bytes) {
  if (!bytes.empty()) steps_.push_back({TStepKind::skBytes, bytes});
  return *this;
}

TMemoryIOHandler& TMemoryIOHandler::ArriveSplit(const std::string& bytes,
                                                const std::vector<size_t>& cuts) {
  size_t from = 0;
  for (size_t cut : cuts) {
    if (cut <= from || cut >= bytes.size()) continue;
    Arrive(bytes.substr(from, cut - from));
    from = cut;
  }
  return Arrive(bytes.substr(from));
}

TMemoryIOHandler& TMemoryIOHandler::ArriveInPieces(const std::string& bytes, size_t pieceSize) {
  if (pieceSize == 0) pieceSize = bytes.size();
  for (size_t from = 0; from < bytes.size(); from += pieceSize)
    Arrive(bytes.substr(from, pieceSize));
  return *this;
}

TMemoryIOHandler& TMemoryIOHandler::Silence(int times) {
  if (times > 0) steps_.push_back({TStepKind::skSilence, std::string(), 0, times});
  return *this;
}

TMemoryIOHandler& TMemoryIOHandler::PeerClose() {
  steps_.push_back({TStepKind::skPeerClose, std::string()});
  return *this;
}

TMemoryIOHandler& TMemoryIOHandler::ReceiveError(int code) {
  steps_.push_back({TStepKind::skReceiveError, std::string(), 0, code});
  return *this;
}

TMemoryIOHandler& TMemoryIOHandler::NextConnection() {
  steps_.push_back({TStepKind::skNextConnection, std::string()});
  return *this;
}

std::string TMemoryIOHandler::Unread() const {
  std::string bytes;
  for (const TStep& step : steps_) {
    if (step.kind == TStepKind::skNextConnection) break;
    if (step.kind == TStepKind::skBytes) bytes += step.bytes.substr(step.offset);
  }
  return bytes;
}

TMemoryIOHandler& TMemoryIOHandler::SendResult(int nth, int result, int code) {
  send_results_.push_back({nth, result, code});
  return *this;
}

void TMemoryIOHandler::Open() {
  StartConnection();
  open_ = true;
}

void TMemoryIOHandler::StartConnection() {
  // Every connection after the first one starts after the next connection mark.
  if (connects_++ > 0) {
    while (!steps_.empty()) {
      const bool mark = steps_.front().kind == TStepKind::skNextConnection;
      steps_.pop_front();
      if (mark) break;
    }
  }
  peer_closed_ = false;
}

bool TMemoryIOHandler::Inject() {
  if (++Operations != FailAt) return false;
  if (Failure) Failure();
  return true;
}

TMemoryIOHandler::TStep* TMemoryIOHandler::Current() {
  while (!steps_.empty()) {
    TStep& step = steps_.front();
    const bool used = (step.kind == TStepKind::skBytes && step.offset >= step.bytes.size()) ||
                      (step.kind == TStepKind::skSilence && step.count <= 0);
    if (!used) return step.kind == TStepKind::skNextConnection ? nullptr : &step;
    steps_.pop_front();
  }
  return nullptr;
}

void TMemoryIOHandler::CloseHandler() {
  ++CloseHandlerCalls;
  open_ = false;
}

void TMemoryIOHandler::ConnectToPeer(const std::string& host, int port, const std::string& boundIP,
                                     int boundPort, int boundPortLow, int boundPortHigh,
                                     int timeoutMs) {
  TConnectCall call{host, port, boundIP, boundPort, boundPortLow, boundPortHigh, timeoutMs};
  Connects.push_back(call);
  StartConnection();
  // A real connect allocates its socket first, so a failure leaves it open.
  open_ = true;
  if (Inject()) return;
  if (OnConnectToPeer) OnConnectToPeer(call);
}

void TMemoryIOHandler::OpenHandler() {
  ++OpenHandlerCalls;
}

bool TMemoryIOHandler::WaitReadable(int timeoutMs) {
  if (Inject()) return false;
  WaitTimeouts.push_back(timeoutMs);
  if (!open_) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
  if (peer_closed_) return true;
  TStep* step = Current();
  if (!step) return AtEnd == TAtEnd::aePeerClose;
  if (step->kind == TStepKind::skSilence) {
    --step->count;
    return false;
  }
  return true;
}

int TMemoryIOHandler::ReceiveSome(void* buffer, int length) {
  if (Inject()) {
    SetLastSocketError(kErrConnectionReset);
    return -1;
  }
  if (!open_) throw ENetClosedSocket("Disconnected.");
  ReceiveLengths.push_back(length);
  if (peer_closed_) return 0;
  // A blocking receive waits through silences for whatever comes next.
  while (TStep* step = Current()) {
    if (step->kind != TStepKind::skSilence) break;
    step->count = 0;
  }
  TStep* step = Current();
  if (!step) {
    if (AtEnd == TAtEnd::aePeerClose) {
      peer_closed_ = true;
      return 0;
    }
    throw std::logic_error("TMemoryIOHandler: a receive would wait for ever (nothing scripted)");
  }
  switch (step->kind) {
    case TStepKind::skBytes: {
      const size_t left = step->bytes.size() - step->offset;
      const size_t n = length < 0 ? 0 : std::min(left, static_cast<size_t>(length));
      std::memcpy(buffer, step->bytes.data() + step->offset, n);
      step->offset += n;
      return static_cast<int>(n);
    }
    case TStepKind::skPeerClose:
      steps_.pop_front();
      peer_closed_ = true;
      return 0;
    case TStepKind::skReceiveError: {
      const int code = step->count;
      steps_.pop_front();
      SetLastSocketError(code);
      return -1;
    }
    default:
      return 0;
  }
}

int TMemoryIOHandler::SendSome(const void* buffer, int length) {
  if (Inject()) {
    SetLastSocketError(kErrConnectionReset);
    return -1;
  }
  if (!open_) throw ENetClosedSocket("Disconnected.");
  ++SendCalls;
  for (const TSendResult& r : send_results_) {
    if (r.nth != SendCalls) continue;
    if (r.result < 0) SetLastSocketError(r.code);
    return r.result;
  }
  const int n = MaxSend > 0 && MaxSend < length ? MaxSend : length;
  if (n <= 0) return 0;
  std::string bytes(static_cast<const char*>(buffer), static_cast<size_t>(n));
  Sent += bytes;
  SentBlocks.push_back(bytes);
  if (OnSent) OnSent(bytes);
  return n;
}

void TMemoryIOHandler::SetLastSocketError(int code) {
  GlobalStack->SetLastErrorCode(code);
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return std::string();
}

void TMemoryIOHandler::SetPassThrough(bool on) {
  pass_through_ = on;
  TLSSteps.push_back(on ? "pass-through on" : "pass-through off");
}

void TMemoryIOHandler::SetTLSServerName(const std::string& name) {
  TLSSteps.push_back("server name " + name);
}
