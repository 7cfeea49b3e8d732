#include "rescue/swf_url_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/exception.h"
#include "rescue/swf_extraction.h"
#include "tests/support/movie_page.h"

namespace {

// Writes `text` in pieces of random sizes (up to `largest` bytes) and returns what was found.
std::vector<std::string> Search(const std::string& text, std::mt19937& random, size_t largest) {
  TSwfUrlStream stream;
  size_t at = 0;
  while (at < text.size()) {
    const size_t n = std::min(text.size() - at, 1 + random() % largest);
    stream.WriteBuffer(text.data() + at, static_cast<int64_t>(n));
    at += n;
  }
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(text.size()));
  return stream.Finish();
}

// A page of several pieces' worth, with movies at random places, white space of every kind
// between them, and long runs without any.
std::string LargePage(std::mt19937& random) {
  const char* const filler[] = {"<div class=\"a\">",      "'x'", "|y|", "\"http://h/no.SWF\"",
                                "\"http://h/a.swf?v=1\"", "<p>", "text"};
  const char* const spaces[] = {" ", "\n", "\t", "\r\n", "\v", "\f"};
  std::string page;
  int n = 0;
  while (page.size() < 3 * TSwfUrlStream::kPieceSize + 12345) {
    const unsigned pick = random() % 10;
    if (pick == 0) {
      page += "'http://h" + std::to_string(n++) + "/m.swf','http://x/y.swf'";
    } else if (pick == 1) {
      page += "\"http://h/" + std::to_string(n++) + ".swf\"";
    } else if (pick == 2) {
      // A long run without white space, a movie at its end.
      page += std::string(random() % 30000, 'z') + "|ftp://r/" + std::to_string(n++) + ".swf|";
    } else {
      page += filler[random() % 7];
    }
    page += spaces[random() % 6];
  }
  return page;
}

TEST(SwfUrlStream, FindsWhatOneSearchOfTheWholePageFinds) {
  std::mt19937 random(11);
  const std::string page = LargePage(random);
  const std::vector<std::string> whole = FindSwfUrls(page);
  ASSERT_GT(whole.size(), 500u);
  for (const size_t largest : {size_t{1}, size_t{700}, size_t{40000}, size_t{3} << 20}) {
    if (largest == 1) {
      // Byte by byte only over a part: the rest takes too long that way.
      const std::string part = page.substr(0, 300000);
      EXPECT_EQ(Search(part, random, largest), FindSwfUrls(part));
    } else {
      EXPECT_EQ(Search(page, random, largest), whole) << largest;
    }
  }
  const std::string test = MoviePage("http://127.0.0.1:8080");
  EXPECT_EQ(Search(test, random, 17), FindSwfUrls(test));
}

TEST(SwfUrlStream, APageWithoutWhiteSpaceIsSearchedWhole) {
  std::mt19937 random(5);
  std::string page;
  for (int i = 0; page.size() < 2 * TSwfUrlStream::kPieceSize + 999; ++i)
    page += "'http://h/" + std::to_string(i) + ".swf'" + std::string(5000, 'q');
  EXPECT_EQ(Search(page, random, 65536), FindSwfUrls(page));
}

TEST(SwfUrlStream, CuttingBackToEmptyStartsOverAndOnlyTheEndCanBeWritten) {
  TSwfUrlStream stream;
  const std::string first = std::string(TSwfUrlStream::kPieceSize + 10, ' ') + "\"http://a/1.swf\"";
  stream.WriteBuffer(first.data(), static_cast<int64_t>(first.size()));
  // Room asked for ahead changes nothing.
  stream.SetSize(stream.Size() + 1000);
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(first.size()));
  EXPECT_THROW(stream.SetSize(5), EStreamError);
  stream.SetPosition(3);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EWriteError);

  stream.SetPosition(0);
  stream.SetSize(0);
  EXPECT_EQ(stream.Size(), 0);
  const std::string second = "\"http://b/2.swf\"";
  stream.WriteBuffer(second.data(), static_cast<int64_t>(second.size()));
  EXPECT_EQ(stream.Finish(), std::vector<std::string>{"http://b/2.swf"});
}

TEST(SwfUrlStream, AStreamDroppedHalfwayStopsItsSearch) {
  const std::string page(5 * TSwfUrlStream::kPieceSize, ' ');
  for (int i = 0; i < 20; ++i) {
    TSwfUrlStream stream;
    stream.WriteBuffer(page.data(), static_cast<int64_t>(page.size()));
  }
  TSwfUrlStream empty;
  EXPECT_TRUE(empty.Finish().empty());
}

}  // namespace
