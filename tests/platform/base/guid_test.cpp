#include "com/guid.h"

#include <gtest/gtest.h>

TEST(Guid, ParseFormatAndLayout) {
  constexpr GUID g = MakeGuid("{FBC6F216-BE6C-4F05-9AD8-FAFC5E7A357C}");
  EXPECT_EQ(g.Data1, 0xFBC6F216u);
  EXPECT_EQ(g.Data2, 0xBE6Cu);
  EXPECT_EQ(g.Data4[0], 0x9Au);
  EXPECT_EQ(com::GuidToString(g), "{FBC6F216-BE6C-4F05-9AD8-FAFC5E7A357C}");
  // Stored bytes follow the Windows layout: Data1 little-endian first.
  const auto* b = reinterpret_cast<const uint8_t*>(&g);
  EXPECT_EQ(b[0], 0x16);
  EXPECT_EQ(b[3], 0xFB);
  EXPECT_EQ(com::ParseGuid("fbc6f216-be6c-4f05-9ad8-fafc5e7a357c"), g);
  EXPECT_FALSE(com::ParseGuid("{FBC6F216-BE6C-4F05-9AD8-FAFC5E7A357}"));
  EXPECT_FALSE(com::ParseGuid("FBC6F216xBE6C-4F05-9AD8-FAFC5E7A357C"));
}
