#include "page/page_reader_stream.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "page/listing_observer.h"

namespace {

TEST(PageReaderStream, ReadsWhatIsWrittenAndStartsOverWhenCutToEmpty) {
  const std::string page = "<embed src=\"a.swf\"><param name=movie value='b.swf'>";
  TPageReaderStream stream("http://h.example/d/p.html");
  stream.WriteBuffer("<embed src=\"redirect.swf\">", 26);
  stream.SetSize(0);
  EXPECT_EQ(stream.Size(), 0);
  for (size_t at = 0; at < page.size(); at += 7)
    stream.WriteBuffer(page.data() + at,
                       static_cast<int64_t>(std::min<size_t>(7, page.size() - at)));
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(page.size()));
  stream.SetSize(1 << 20);  // room asked for ahead: nothing changes
  EXPECT_THROW(stream.SetSize(3), EStreamError);
  stream.Seek(0, TSeekOrigin::soBeginning);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EWriteError);
  EXPECT_EQ(
      stream.Finish("http://final.example/e/"),
      (std::vector<std::string>{"http://final.example/e/a.swf", "http://final.example/e/b.swf"}));
}

TEST(PageReaderStream, APageOfManyPiecesGivesWhatOneReadingGives) {
  std::string page;
  for (int i = 0; page.size() < 5 * TPageReaderStream::kPieceSize; ++i) {
    page += "<div class=\"item\"><embed src=\"m" + std::to_string(i) + ".swf\"></div>\n";
    page += "<script>so.embedSWF('s" + std::to_string(i) + ".php');</script>\n";
  }
  TPageReader whole("http://h.example/");
  whole.Feed(page);
  const std::vector<std::string> expected = whole.Finish();
  ASSERT_GT(expected.size(), 10000u);
  TPageReaderStream stream("http://h.example/");
  // Odd write sizes, so that pieces end inside tags and literals.
  for (size_t at = 0; at < page.size(); at += 4093)
    stream.WriteBuffer(page.data() + at,
                       static_cast<int64_t>(std::min<size_t>(4093, page.size() - at)));
  EXPECT_EQ(stream.Finish(), expected);
  // Cut back to empty halfway through the next page: only what follows counts.
  stream.WriteBuffer(page.data(), static_cast<int64_t>(3 * TPageReaderStream::kPieceSize));
  stream.SetSize(0);
  stream.WriteBuffer("<embed src='x.swf'>", 19);
  EXPECT_EQ(stream.Finish(), std::vector<std::string>{"http://h.example/x.swf"});
}

// Records what the reader lists, as it lists it.
struct TRecorder : TListingObserver {
  std::vector<std::string> Listed;
  int Relisted = 0;
  int Finished = 0;
  void OnListed(std::string_view address) override { Listed.emplace_back(address); }
  void OnRelisted() override {
    Listed.clear();
    ++Relisted;
  }
  void OnFinished() override { ++Finished; }
};

// What a head tells reaches the reader before the body's pieces: everything is resolved once,
// against the final address, in the final charset.
TEST(PageReaderStream, WhatTheHeadTellsIsTakenBeforeTheBody) {
  std::string page = "<embed src='\xC6\xC0.swf'>";  // GBK bytes
  for (int i = 0; page.size() < 3 * TPageReaderStream::kPieceSize; ++i)
    page += "<embed src=\"m" + std::to_string(i) + ".swf\"><div>" + std::string(60, 'x') + "</div>";
  TRecorder recorder;
  TPageReaderStream stream("http://typed.example/", &recorder);
  stream.SetPageHead("https://final.example/games/", "GBK");
  stream.WriteBuffer(page.data(), static_cast<int64_t>(page.size()));
  const std::vector<std::string> found = stream.Finish("https://final.example/games/");
  ASSERT_GT(found.size(), 1000u);
  EXPECT_EQ(found[0], "https://final.example/games/%E8%AF%84.swf");
  EXPECT_EQ(found[1], "https://final.example/games/m0.swf");
  EXPECT_EQ(recorder.Relisted, 0);
  EXPECT_EQ(recorder.Finished, 1);
  EXPECT_EQ(recorder.Listed, found);
  // Without the head the same page is listed twice: once as found, once at the end.
  TRecorder late;
  TPageReaderStream unknown("http://typed.example/", &late);
  unknown.WriteBuffer(page.data(), static_cast<int64_t>(page.size()));
  EXPECT_EQ(unknown.Finish("https://final.example/games/").size(), found.size());
  EXPECT_EQ(late.Relisted, 1);
}

}  // namespace
