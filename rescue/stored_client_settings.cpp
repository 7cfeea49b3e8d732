#include "rescue/stored_client_settings.h"

#include "http/custom_http.h"

void ApplyStoredClientSettings(TNetCustomHTTP& http) {
  http.MaxLineAction = TNetMaxLineAction::maException;
  http.ReadTimeout = kNoTimeout;
  http.AllowCookies = true;
  http.ProxyParams.BasicAuthentication = false;
  http.ProxyParams.SetProxyPort(0);
  http.Request.ContentLength = -1;
  http.Request.ContentRangeEnd = 0;
  http.Request.ContentRangeStart = 0;
  http.Request.ContentType = "text/html";
  http.Request.Accept = "text/html, */*";
  http.Request.BasicAuthentication = false;
  http.Request.UserAgent = kStoredUserAgent;
  http.HTTPOptions = TNetHTTPOptions{TNetHTTPOption::hoForceEncodeParams};
}
