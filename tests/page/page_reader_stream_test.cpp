#include "page/page_reader_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"

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

}  // namespace
