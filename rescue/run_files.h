// The files one run saves into one folder. Portals name every game "game.swf" or "main.swf" in a
// folder of its own; saved side by side, no file of the run may take another's place.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

// How the files of a run are laid out in the output folder.
enum class TSaveLayout {
  slFlat,  // each movie as FOLDER/<name>, its dependent files beside it as it names them
  slSite,  // every file as FOLDER/<host>/<path>, as on the server
};

// Reads "flat" or "site"; false for anything else.
bool ParseSaveLayout(const std::string& text, TSaveLayout& layout);

class TRunFiles {
 public:
  // `folder`: the output folder, without a closing "/".
  TRunFiles(std::string folder, TSaveLayout layout) : folder_(std::move(folder)), layout_(layout) {}

  const std::string& Folder() const { return folder_; }
  TSaveLayout Layout() const { return layout_; }

  struct TClaim {
    std::string Path;  // FOLDER/place, or the place renamed
    // When the place was taken by another address of this run: its name (then Path has
    // " (2)", " (3)", ... before the extension).
    std::string TakenName;
  };
  // The path `address` is saved at in this run: FOLDER/`place` ("/"-separated, relative),
  // unless another address took that place earlier in the run, then the first free
  // "NAME (N).EXT" beside it. The same address (its fragment aside) always gets the same path.
  TClaim Claim(const std::string& address, const std::string& place);
  // The file of `address` could not be saved: its path is free again.
  void Release(const std::string& address);

  // Where a movie saved from `address` goes in this run's layout, relative to the folder:
  // SavedFileName (flat) or SitePath (site).
  std::string MoviePlace(const std::string& address) const;

 private:
  std::string folder_;
  TSaveLayout layout_;
  std::unordered_map<std::string, std::string> path_of_;  // address -> path
  std::unordered_set<std::string> taken_;                 // paths
};
