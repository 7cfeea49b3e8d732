// The names files take on disk from their addresses: readable (percent-escapes decoded to
// UTF-8), without query or fragment, and valid on Windows as on Linux.
#pragma once

#include <string>
#include <string_view>

// The name of a file saved from one path segment: percent-decoded (when that gives UTF-8),
// with "\ / : * ? " < > |" and controls as "_", "." and ".." as "_" and "__", cut to a length
// every file system takes (the extension kept); an empty segment gives "index.swf".
std::string SafeFileName(std::string_view segment);

// The name a file saved from `address` takes: SafeFileName of the last segment of its path (of
// the original's, for a web archive's capture), so "http://h/g/my%20game.swf?x=1" gives
// "my game.swf".
std::string SavedFileName(const std::string& address);

// Where a file is in the layout of its site: "<host>/<segment>/.../<name>", the host in lower
// case (with "_<port>" when the address names a port other than its scheme's), each segment
// made safe by SafeFileName, empty ones dropped; a web archive's capture in the original's
// place. Raises EFCreateError "Cannot save "%s". The address names no host" for an address
// without one.
std::string SitePath(const std::string& address);
