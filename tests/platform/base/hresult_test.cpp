#include "base/hresult.h"

#include <gtest/gtest.h>

TEST(ErrorText, KnownUnknownAndZero) {
  EXPECT_EQ(base::ErrorText(E_FAIL), "[0x80004005] ( Unspecified error) ");
  EXPECT_EQ(base::ErrorText(0), "");
  // A code without a message shows the number alone.
  EXPECT_EQ(base::ErrorText(0x00042B01), "[0x00042B01]");
  EXPECT_EQ(base::ErrorText(MakeHResult(0xC0050001)), "[0xC0050001]");
}

TEST(ErrorText, Win32ErrorsAsHResults) {
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), MakeHResult(0x80070003));
  EXPECT_EQ(base::ErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
            "[0x80070002] ( The system cannot find the file specified.) ");
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INTERNAL_DB_ERROR), MakeHResult(0x80070567));
  EXPECT_FALSE(base::MessageText(MakeHResult(0x80070567)).empty());
  EXPECT_EQ(base::ErrorText(STG_E_INVALIDPARAMETER), "[0x80030057] ( The parameter is incorrect.) ");
}
