// What every client of the window and the command line needs for today's web: https through a
// TLS handler (plain http passes through it untouched), redirects followed across http and
// https, and addresses as users type them.
#pragma once

#include <string>

class TNetCustomHTTP;
class TNetHTTP;
class TNetSSLIOHandlerSocket;
class TNetURI;

// `tls` becomes the client's I/O handler (it is not owned and must outlive the client's use;
// its status reports reach the client's OnStatus, whenever that is assigned) and redirects are
// followed up to the client's RedirectMaximum.
void ApplyWebClientSettings(TNetCustomHTTP& http, TNetSSLIOHandlerSocket& tls);

// The address a user typed (in UTF-8), made fit for a request: trimmed, "http://" put in front
// when it names no scheme (a redirect then leads on to https), blanks and characters above
// ASCII percent-encoded (EncodedAddress), "." and ".." segments taken out. Raises
// ENetUnknownProtocol "Unknown protocol: SCHEME" for a scheme other than http and https, and
// ENetURIException "Invalid address (no host): TEXT" when it names no host, "not a valid host: HOST
// (in TEXT)" for a host with blanks or brackets, and "not a valid port: PORT (in TEXT)" for a port
// that is not 1 to 65535.
std::string TypedAddress(const std::string& text);

// An address as a list or a field shows it (DisplayedAddress, or typed by hand), as a request
// carries it: trimmed, "." and ".." segments taken out, percent-encoded in UTF-8 (EncodedAddress).
// Empty for blank text.
std::string ShownAddressRequest(const std::string& shown);

// The address of the client's last request (after the redirects it followed), without user
// information and fragment, and without the scheme's own port: where a page really came from.
std::string FinalAddressOf(const TNetHTTP& http);
// The same form of any parsed address; empty for one without scheme or host.
std::string ComposedAddress(const TNetURI& address);
