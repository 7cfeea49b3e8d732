#include "http/proxy_connection_info.h"

#include <gtest/gtest.h>

#include "http/basic_authentication.h"

TEST(ProxyConnectionInfoTest, AddsCredentialsOnlyWhenAsked) {
  TNetProxyConnectionInfo proxy;
  EXPECT_EQ(proxy.ProxyServer(), "");
  EXPECT_EQ(proxy.ProxyPort(), 0);
  EXPECT_FALSE(proxy.BasicAuthentication);
  TNetHeaderList headers;
  headers.Add("Host: localhost");
  proxy.ProxyUsername = "u";
  proxy.ProxyPassword = "p";
  proxy.AddProxyHeaders(headers);
  EXPECT_EQ(headers.Count(), 1);
  EXPECT_EQ(proxy.Authentication, nullptr);

  proxy.BasicAuthentication = true;
  proxy.AddProxyHeaders(headers);
  EXPECT_EQ(headers.ValueOf("Proxy-Authorization"), "Basic dTpw");
  ASSERT_NE(proxy.Authentication, nullptr);
  // Set again, the line is replaced rather than added.
  proxy.AddProxyHeaders(headers);
  EXPECT_EQ(headers.Count(), 2);
}

TEST(ProxyConnectionInfoTest, AnotherProxyFreesTheAuthentication) {
  TNetProxyConnectionInfo proxy;
  proxy.SetProxyServer("localhost");
  proxy.SetProxyPort(3128);
  auto renew = [&proxy] { proxy.Authentication = std::make_unique<TNetBasicAuthentication>(); };

  renew();
  proxy.SetProxyServer("LOCALHOST");
  EXPECT_NE(proxy.Authentication, nullptr);
  EXPECT_EQ(proxy.ProxyServer(), "LOCALHOST");
  proxy.SetProxyPort(3128);
  EXPECT_NE(proxy.Authentication, nullptr);
  proxy.SetProxyServer("127.0.0.1");
  EXPECT_EQ(proxy.Authentication, nullptr);
  renew();
  proxy.SetProxyPort(8080);
  EXPECT_EQ(proxy.Authentication, nullptr);

  renew();
  TNetProxyConnectionInfo other;
  other.SetProxyServer("127.0.0.1");
  other.SetProxyPort(8080);
  other.ProxyUsername = "u";
  other.ProxyPassword = "p";
  other.BasicAuthentication = true;
  proxy.Assign(other);
  EXPECT_NE(proxy.Authentication, nullptr);  // same proxy
  EXPECT_EQ(proxy.ProxyUsername, "u");
  EXPECT_EQ(proxy.ProxyPassword, "p");
  EXPECT_TRUE(proxy.BasicAuthentication);
  other.SetProxyPort(1);
  proxy.Assign(other);
  EXPECT_EQ(proxy.Authentication, nullptr);
  EXPECT_EQ(proxy.ProxyPort(), 1);

  renew();
  proxy.ResetFields();
  EXPECT_EQ(proxy.Authentication, nullptr);
  EXPECT_EQ(proxy.ProxyServer(), "");
  EXPECT_EQ(proxy.ProxyUsername, "");
  EXPECT_EQ(proxy.ProxyPassword, "");
  EXPECT_TRUE(proxy.BasicAuthentication);  // not a reset field
}
