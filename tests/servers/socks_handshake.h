// Raw SOCKS handshakes written byte by byte, to check the test servers without the product's code.
#pragma once

#include <string>

#include "tests/support/tcp_channel.h"

// Greeting, optional user name/password sub-negotiation and a CONNECT to 127.0.0.1:targetPort.
// Returns the reply of the step that ended the handshake: the method choice when no method fits,
// the two-byte authentication status when it fails, else the ten-byte CONNECT reply.
inline std::string Socks5Connect(TcpChannel& c, int targetPort, const std::string& user = "",
                                 const std::string& password = "") {
  const char method = user.empty() ? '\x00' : '\x02';
  c.Send(std::string("\x05\x01", 2) + method);
  const std::string choice = c.ReceiveExactly(2);
  if (choice[1] != method) return choice;
  if (!user.empty()) {
    c.Send("\x01" + std::string(1, static_cast<char>(user.size())) + user +
           std::string(1, static_cast<char>(password.size())) + password);
    const std::string status = c.ReceiveExactly(2);
    if (status[1] != 0) return status;
  }
  c.Send(std::string("\x05\x01\x00\x01\x7f\x00\x00\x01", 8) + static_cast<char>(targetPort >> 8) +
         static_cast<char>(targetPort & 0xFF));
  return c.ReceiveExactly(10);
}

// SOCKS 4 CONNECT to 127.0.0.1:targetPort; returns the eight-byte reply.
inline std::string Socks4Connect(TcpChannel& c, int targetPort, const std::string& userId = "") {
  c.Send(std::string("\x04\x01", 2) + static_cast<char>(targetPort >> 8) +
         static_cast<char>(targetPort & 0xFF) + std::string("\x7f\x00\x00\x01", 4) + userId +
         std::string(1, '\0'));
  return c.ReceiveExactly(8);
}
