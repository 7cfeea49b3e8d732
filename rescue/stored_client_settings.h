// The settings the window stores for both of its HTTP clients (the page client and the
// download client). The command line applies the same ones, so that it behaves as the window's
// download client does.
#pragma once

class TNetCustomHTTP;

// The user agent both clients are stored with.
constexpr const char* kStoredUserAgent = "Mozilla/3.0 (compatible; Net Library)";

// Gives the client the stored values; every property not listed keeps its default.
void ApplyStoredClientSettings(TNetCustomHTTP& http);
