#include "base/strings.h"

#include <gtest/gtest.h>

TEST(Utf, RoundTripsAllPlanes) {
  std::string s =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x98\x80";
  std::u16string w = base::Utf8ToUtf16(s);
  EXPECT_EQ(w, u"Grüße € \U0001F600");
  EXPECT_EQ(base::Utf16ToUtf8(w), s);
}

TEST(Utf, InvalidInputBecomesReplacementCharacter) {
  EXPECT_EQ(base::Utf8ToUtf16("a\xFF"
                              "b"),
            u"a\uFFFDb");
  EXPECT_EQ(base::Utf8ToUtf16("\xC3"), u"\uFFFD");            // truncated sequence
  EXPECT_EQ(base::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
  std::u16string lone = u"x";
  lone.push_back(char16_t(0xD800));
  EXPECT_EQ(base::Utf16ToUtf8(lone), "x\xEF\xBF\xBD");
}

TEST(Format, GrowsPastTheSmallBuffer) {
  std::string big(1000, 'x');
  EXPECT_EQ(base::Format("%s-%d", big.c_str(), 7), big + "-7");
  EXPECT_TRUE(base::EqualsNoCase("Software\\Vornak", "SOFTWARE\\vornak"));
}
