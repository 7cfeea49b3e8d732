// The movies of the pages a page shows in frames (<frame src>, <iframe src>), one level deep:
// portals often show their game in a frame of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TNetHTTP;

// A movie found in a frame's page.
struct TFramedMovie {
  std::string Address;  // absolute and encoded, as the page reader gives it
  // The frame's page after its redirections: where the movie was found, the Referer of its
  // download.
  std::string Page;
};

struct TFrameReading {
  int Read = 0;  // frames whose page arrived
  // The movies of every frame read, in the order of the frames and of each page, each once.
  std::vector<TFramedMovie> Movies;
  // Frames whose page could not be had: the address and what went wrong.
  std::vector<std::pair<std::string, std::string>> Failed;
};

// Fetches the page of each of `frames` with `http` as a grab fetches its page (User-Agent,
// `userAgent` when not empty; the Referer is the client's, the page that shows the frames), in
// one attempt each, and reads its movies. `stopped`, asked before each frame, ends the reading
// early.
TFrameReading ReadFramePages(TNetHTTP& http, const std::vector<std::string>& frames,
                             const std::string& userAgent = std::string(),
                             const std::function<bool()>& stopped = nullptr);

// "no movies; no frames", "no movies; 2 frames read, 0 movies in them": what a grab that found
// no movie did find.
std::string NoMoviesText(size_t frames, const TFrameReading& reading);
