#include "swf/xml_addresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(XmlAddressesTest, TakesAttributeValuesAndTexts) {
  using Strings = std::vector<std::string>;
  struct Row {
    const char* Name;
    const char* Xml;
    Strings Expected;
  } rows[] = {
      {"attributes and texts",
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sounds>\n"
       "  <sound id=\"a\" file=\"sounds/a.mp3\" volume='0.5'/>\n"
       "  <sound><file>\n    sounds/b.mp3\n  </file></sound>\n</sounds>",
       {"sounds/a.mp3", "sounds/b.mp3"}},
      {"entities, CDATA and duplicates",
       "<list><l src=\"get.php?a=1&amp;b=2\"/><![CDATA[ levels/two.xml ]]>"
       "<l src=\"levels/two.xml\"/></list>",
       {"get.php?a=1&b=2", "levels/two.xml"}},
      {"comments, declarations and words",
       "<!DOCTYPE list SYSTEM \"list.dtd\"><!-- old.swf --><list title=\"My game\">"
       "Welcome<item>http://example.com/x/intro.swf</item></list>",
       {"http://example.com/x/intro.swf"}},
      {"unclosed quote ends the reading", "<a href=\"one.swf\"/><b href=\"two.swf", {"one.swf"}},
      {"no markup", "plain.txt", {"plain.txt"}},
      {"empty", "", {}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(XmlAddresses(row.Xml), row.Expected) << row.Name;
}
