// The command line's order of a page's movies, made while the page arrives.
#include "cli/listing_order.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/key_order.h"
#include "page/page_reader_stream.h"

namespace {

void Fold(std::string_view address, std::string& key) {
  key.assign(address);
  for (char& c : key)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

TEST(ListingOrder, TheOrderMadeWhileThePageArrivesIsTheOrderOfTheKeys) {
  // Repeats in another letter case, which the key folds together; pieces handed with pauses,
  // so that the worker orders what it has while it waits.
  std::string page;
  for (int i = 0; page.size() < 4 * TPageReaderStream::kPieceSize; ++i)
    page += "<embed src=\"http://h.example/" + std::string(i % 3 == 0 ? "M" : "m") +
            std::to_string(i % 9000) + ".swf\"><div>" + std::string(100, 'x') + "</div>\n";
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
    cli::TListingOrder listing(Fold);
    TPageReaderStream stream("http://h.example/p.html", &listing);
    const std::string whole =
        page.substr(0, page.size() / 2) + row.Middle + page.substr(page.size() / 2);
    for (size_t at = 0; at < whole.size(); at += TPageReaderStream::kPieceSize / 2) {
      stream.WriteBuffer(
          whole.data() + at,
          static_cast<int64_t>(std::min(TPageReaderStream::kPieceSize / 2, whole.size() - at)));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const TStringBlock found = stream.FinishInBlock(row.Final);
    const TStringBlock& keys = listing.Keys();
    const std::vector<size_t> order = listing.TakeOrder();
    ASSERT_EQ(keys.size(), found.size()) << row.Name;
    EXPECT_GT(order.size(), 5000u) << row.Name;
    // Addresses that differ only in case both stay, side by side.
    EXPECT_EQ(order, KeyOrder(keys)) << row.Name;
  }
}

}  // namespace
