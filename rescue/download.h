// Saving one movie into the output folder.
#pragma once

#include <string>

class TNetHTTP;

// Raises ENetHTTPProtocolException with the status line unless the last call of `http` ended
// with a 2xx status: with redirections followed, a call can end on an unfollowed 3xx once the
// maximum is reached, and that body is not the one asked for.
void CheckDelivered(TNetHTTP& http);

// The text after the last "/" of `address`: the whole address when it has none, the empty
// text when it ends in "/". Query strings and fragments stay part of it.
std::string UrlFileName(const std::string& address);

// Whether `name` names a file directly inside a folder: not empty, not "." or "..", and
// without a folder separator ("/"; on Windows also "\" and ":").
bool UsableFileName(const std::string& name);

// `outPath`, the folder separator, then UrlFileName(address).
std::string DestinationPath(const std::string& outPath, const std::string& address);

// `outPath`, the folder separator, then the name the file takes (SavedFileName: decoded, without
// query, safe on every file system). Raises EFCreateError "Cannot create file "%s". %s" when
// `outPath` is empty (the path would start at the root). Nothing is touched on disk.
std::string CheckedDestinationPath(const std::string& outPath, const std::string& address);

// Saves the body of `address` into the file `path` with `http`:
//  1. creates the folder part of `path` with every missing parent, outermost first (a folder
//     that cannot be created shows up in the next step);
//  2. receives the body into a new temporary file in that folder;
//  3. renames it onto `path` once the transfer succeeded (an existing file is replaced);
//  4. closes the connection of `http`, so that the next file starts on a connection of its own.
// On any failure the temporary file is removed, a file already at `path` is left as it was,
// the connection is left to the client, and the error reaches the caller. A path whose last
// part is empty, "." or ".." is refused with EFCreateError before anything is created.
// `keepConnection`: the connection stays open for the next file of the same host (when the
// server allows it) rather than being closed.
void DownloadFile(TNetHTTP& http, const std::string& address, const std::string& path,
                  bool keepConnection = false);
