#include "rescue/run_files.h"

#include "base/text.h"
#include "rescue/saved_names.h"

bool ParseSaveLayout(const std::string& text, TSaveLayout& layout) {
  if (text == "flat")
    layout = TSaveLayout::slFlat;
  else if (text == "site")
    layout = TSaveLayout::slSite;
  else
    return false;
  return true;
}

TRunFiles::TClaim TRunFiles::Claim(const std::string& address, const std::string& place) {
  const std::string key = address.substr(0, address.find('#'));
  const std::string wanted = folder_ + "/" + place;
  TClaim claim;
  if (const auto known = path_of_.find(key); known != path_of_.end()) {
    claim.Path = known->second;
    if (claim.Path != wanted) claim.TakenName = place.substr(place.rfind('/') + 1);
    return claim;
  }
  claim.Path = wanted;
  if (!taken_.insert(wanted).second) {
    const size_t slash = wanted.rfind('/');
    const size_t dot = wanted.rfind('.');
    // "game.swf" becomes "game (2).swf"; a name without extension, or one that is all extension
    // (".htaccess"), takes the number at its end.
    const size_t split = dot != std::string::npos && dot > slash + 1 ? dot : wanted.size();
    for (int n = 2;; ++n) {
      claim.Path = wanted.substr(0, split) + Format(" (%d)", n) + wanted.substr(split);
      if (taken_.insert(claim.Path).second) break;
    }
    claim.TakenName = wanted.substr(slash + 1);
  }
  path_of_.emplace(key, claim.Path);
  return claim;
}

void TRunFiles::Release(const std::string& address) {
  const auto known = path_of_.find(address.substr(0, address.find('#')));
  if (known == path_of_.end()) return;
  taken_.erase(known->second);
  path_of_.erase(known);
}

std::string TRunFiles::MoviePlace(const std::string& address) const {
  return layout_ == TSaveLayout::slSite ? SitePath(address) : SavedFileName(address);
}
