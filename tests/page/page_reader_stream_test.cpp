#include "page/page_reader_stream.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "base/key_order.h"

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

TEST(PageReaderStream, TheOrderMadeWhileThePageArrivesIsTheOrderOfTheKeys) {
  // Repeats in another letter case, which the key folds together; pieces handed with pauses,
  // so that the worker orders what it has while it waits.
  std::string page;
  for (int i = 0; page.size() < 4 * TPageReaderStream::kPieceSize; ++i)
    page += "<embed src=\"http://h.example/" + std::string(i % 3 == 0 ? "M" : "m") +
            std::to_string(i % 9000) + ".swf\"><div>" + std::string(100, 'x') + "</div>\n";
  const auto fold = [](std::string_view address, std::string& key) {
    key.assign(address);
    for (char& c : key)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  const struct {
    const char* Name;
    std::string Middle;  // written halfway
    std::string Final;   // the final address
  } rows[] = {
      {"as found", "", ""},
      {"listed again for a late base", "<base href=\"http://other.example/\"><embed src=late.swf>",
       ""},
      {"listed again for the final address", "<embed src=relative.swf>", "http://final.example/"},
  };
  for (const auto& row : rows) {
    TPageReaderStream stream("http://h.example/p.html", fold);
    const std::string whole =
        page.substr(0, page.size() / 2) + row.Middle + page.substr(page.size() / 2);
    for (size_t at = 0; at < whole.size(); at += TPageReaderStream::kPieceSize / 2) {
      stream.WriteBuffer(
          whole.data() + at,
          static_cast<int64_t>(std::min(TPageReaderStream::kPieceSize / 2, whole.size() - at)));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    TStringBlock keys;
    std::vector<size_t> order;
    const TStringBlock found = stream.FinishInBlock(row.Final, keys, &order);
    ASSERT_EQ(keys.size(), found.size()) << row.Name;
    EXPECT_GT(order.size(), 5000u) << row.Name;
    // Addresses that differ only in case both stay, side by side.
    EXPECT_EQ(order, KeyOrder(keys)) << row.Name;
  }
}

}  // namespace
