#include "rescue/player_installer.h"

#include "base/text.h"
#include "rescue/saved_names.h"

bool IsPlayerInstaller(const std::string& address) {
  const std::string name = SavedFileName(address);
  return SameText(name, "expressInstall.swf") || SameText(name, "playerProductInstall.swf");
}
