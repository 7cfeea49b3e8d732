// The installer movies that embedding scripts name on every page they write: swfobject's
// expressInstall.swf and the Flash kit's playerProductInstall.swf. They update a player that
// no longer exists, are rarely still on the server, and are no part of a game.
#pragma once

#include <string>

// Whether `address` names one of them (by its file name, any letter case).
bool IsPlayerInstaller(const std::string& address);
