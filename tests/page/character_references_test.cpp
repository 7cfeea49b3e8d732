#include "page/character_references.h"

#include <gtest/gtest.h>

namespace {

TEST(CharacterReferences, ThoseOfAsciiAreDecoded) {
  const struct {
    const char* Text;
    const char* Expected;
  } rows[] = {
      {"a.swf?x=1&amp;y=2", "a.swf?x=1&y=2"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"&#47;&#x2F;&#X2f;", "///"},
      {"&amp;amp;", "&amp;"},
      {"&unknown; &amp &#xFFFF; &#;", "&unknown; &amp &#xFFFF; &#;"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(DecodeCharacterReferences(row.Text), row.Expected) << row.Text;
}

}  // namespace
