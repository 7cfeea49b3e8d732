// The proxy settings of a client and the credentials line it adds for the proxy.
#pragma once

#include <memory>
#include <string>

#include "base/object.h"
#include "http/authentication.h"
#include "http/header_list.h"

class TNetProxyConnectionInfo : public TObject {
 public:
  TNetProxyConnectionInfo();
  TNetProxyConnectionInfo(const TNetProxyConnectionInfo&) = delete;
  TNetProxyConnectionInfo& operator=(const TNetProxyConnectionInfo&) = delete;

  bool BasicAuthentication = false;
  std::string ProxyPassword;
  std::string ProxyUsername;
  // Another proxy (server compared ignoring case, or port) frees Authentication.
  const std::string& ProxyServer() const { return proxy_server_; }
  void SetProxyServer(const std::string& server);
  int ProxyPort() const { return proxy_port_; }
  void SetProxyPort(int port);

  std::unique_ptr<TNetAuthentication> Authentication;

  // Copies the five settings.
  virtual void Assign(const TNetProxyConnectionInfo& source);
  // Adds "Proxy-Authorization" to a request's lines when there are credentials to send.
  virtual void AddProxyHeaders(TNetHeaderList& headers);
  virtual void ResetFields();

 private:
  std::string proxy_server_;
  int proxy_port_ = 0;
};
