#include "http/proxy_connection_info.h"

#include "base/text.h"
#include "http/basic_authentication.h"

TNetProxyConnectionInfo::TNetProxyConnectionInfo() {
  TNetProxyConnectionInfo::ResetFields();
}

void TNetProxyConnectionInfo::SetProxyServer(const std::string& server) {
  // Credentials negotiated with one proxy are not for another.
  if (!SameText(server, proxy_server_)) Authentication.reset();
  proxy_server_ = server;
}

void TNetProxyConnectionInfo::SetProxyPort(int port) {
  if (port != proxy_port_) Authentication.reset();
  proxy_port_ = port;
}

void TNetProxyConnectionInfo::Assign(const TNetProxyConnectionInfo& source) {
  if (&source == this) return;
  BasicAuthentication = source.BasicAuthentication;
  ProxyPassword = source.ProxyPassword;
  SetProxyPort(source.ProxyPort());
  SetProxyServer(source.ProxyServer());
  ProxyUsername = source.ProxyUsername;
}

void TNetProxyConnectionInfo::AddProxyHeaders(TNetHeaderList& headers) {
  if (!Authentication && BasicAuthentication) {
    Authentication = std::make_unique<TNetBasicAuthentication>();
    Authentication->AssignUser(ProxyUsername);
    Authentication->AssignPassword(ProxyPassword);
  }
  if (Authentication) {
    const std::string value = Authentication->AuthorizationValue();
    if (!value.empty()) headers.SetValueOf("Proxy-Authorization", value);
  }
}

void TNetProxyConnectionInfo::ResetFields() {
  SetProxyServer(std::string());
  ProxyUsername.clear();
  ProxyPassword.clear();
  SetProxyPort(0);
}
