#include "rescue/frame_pages.h"

#include <memory>
#include <unordered_set>

#include "base/text.h"
#include "http/http.h"
#include "page/page_reader_stream.h"
#include "rescue/error_text.h"
#include "rescue/page_grab.h"

TFrameReading ReadFramePages(TNetHTTP& http, const std::vector<std::string>& frames,
                             const std::string& userAgent, const std::function<bool()>& stopped) {
  TFrameReading reading;
  std::unordered_set<std::string> listed;
  const std::string referer = http.Request.Referer;
  for (const std::string& frame : frames) {
    if (stopped && stopped()) break;
    // Each frame is asked for from the page that shows it.
    http.Request.Referer = referer;
    TPageFetchOutcome outcome;
    if (!userAgent.empty()) outcome.UserAgent = userAgent;
    // One attempt, as a browser makes: a frame that fails is reported, not asked for again.
    const std::unique_ptr<TPageReaderStream> reader = ReadPage(http, frame, 1, outcome);
    if (!reader) {
      reading.Failed.emplace_back(frame, ErrorMessageOf(outcome.LastError));
      continue;
    }
    ++reading.Read;
    for (std::string& movie : reader->Finish(outcome.FinalAddress))
      if (listed.insert(movie).second)
        reading.Movies.push_back({std::move(movie), outcome.FinalAddress});
  }
  http.Request.Referer = referer;
  return reading;
}

std::string NoMoviesText(size_t frames, const TFrameReading& reading) {
  if (frames == 0) return "no movies; no frames";
  const std::string failed = reading.Failed.empty()
                                 ? std::string()
                                 : Format(" (%zu could not be had)", reading.Failed.size());
  return Format("no movies; %d frame%s read%s, %zu movie%s in them", reading.Read,
                reading.Read == 1 ? "" : "s", failed.c_str(), reading.Movies.size(),
                reading.Movies.size() == 1 ? "" : "s");
}
