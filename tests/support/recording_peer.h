// A scripted HTTP peer that answers request after request, on one connection or many, with
// what a test decides from the request's number, and records every request head.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/http_text.h"
#include "tests/support/scripted_peer.h"

struct PeerAnswer {
  std::string Bytes;   // sent as they are
  bool Close = false;  // close the connection after them
};

class RecordingPeer {
 public:
  // `answer` gets the request's number (0 for the first request the peer receives) and its head.
  using Answerer = std::function<PeerAnswer(int number, const RequestHead& head)>;

  explicit RecordingPeer(Answerer answer)
      : state_(std::make_shared<State>()), peer_([state = state_, answer](PeerConnection& c) {
          std::string head;
          while (c.TryReceiveUntil("\r\n\r\n", &head, std::chrono::milliseconds(3000))) {
            int number = 0;
            RequestHead parsed = ParseRequestHead(head);
            {
              std::lock_guard<std::mutex> lock(state->lock);
              number = static_cast<int>(state->heads.size());
              state->heads.push_back(parsed);
            }
            const PeerAnswer a = answer(number, parsed);
            c.Send(a.Bytes);
            if (a.Close) {
              c.Close();
              return;
            }
          }
        }) {}

  std::string Url(std::string_view path = "/") const { return peer_.Url(path); }
  int Port() const { return peer_.Port(); }
  ScriptedPeer& Peer() { return peer_; }

  std::vector<RequestHead> Heads() const {
    std::lock_guard<std::mutex> lock(state_->lock);
    return state_->heads;
  }
  int RequestCount() const { return static_cast<int>(Heads().size()); }

 private:
  struct State {
    mutable std::mutex lock;
    std::vector<RequestHead> heads;
  };
  std::shared_ptr<State> state_;
  ScriptedPeer peer_;
};

// Always the same answer.
inline RecordingPeer::Answerer AlwaysAnswer(std::string bytes, bool close = false) {
  return [bytes, close](int, const RequestHead&) { return PeerAnswer{bytes, close}; };
}
