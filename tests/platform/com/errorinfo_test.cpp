#include "com/errorinfo.h"

#include <gtest/gtest.h>

#include <thread>

#include "com/comptr.h"

namespace {

using com::ComPtr;

constexpr GUID kGuid = MakeGuid("11111111-2222-3333-4444-555555555555");

TEST(ErrorInfo, OneObjectAnswersBothInterfaces) {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  ASSERT_EQ(create->SetGUID(kGuid), S_OK);
  ASSERT_EQ(create->SetSource(const_cast<LPOLESTR>(u"DX470")), S_OK);
  ASSERT_EQ(create->SetDescription(const_cast<LPOLESTR>(u"Download error ")), S_OK);
  ASSERT_EQ(create->SetHelpContext(42), S_OK);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(create.As(&info), S_OK);
  EXPECT_TRUE(com::IsSameObject(create.Get(), info.Get()));

  GUID g{};
  ASSERT_EQ(info->GetGUID(&g), S_OK);
  EXPECT_EQ(g, kGuid);
  com::Bstr text;
  ASSERT_EQ(info->GetDescription(&text), S_OK);
  EXPECT_EQ(text.View(), u"Download error ");
  ASSERT_EQ(info->GetSource(&text), S_OK);
  EXPECT_EQ(text.View(), u"DX470");
  ASSERT_EQ(info->GetHelpFile(&text), S_OK);
  EXPECT_EQ(text.Get(), nullptr);  // never set
  DWORD context = 0;
  ASSERT_EQ(info->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 42u);
  EXPECT_EQ(info->GetDescription(nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, ThreadSlotHandsOverOnceAndIsPerThread) {
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(com::MakeErrorInfo(u"failed", &info), S_OK);
  ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);

  std::thread other([] {
    IErrorInfo* none = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
    EXPECT_EQ(none, nullptr);
    ComPtr<IErrorInfo> mine;
    ASSERT_EQ(com::MakeErrorInfo(u"other thread", &mine), S_OK);
    SetErrorInfo(0, mine.Get());  // released when this thread ends
  });
  other.join();

  ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  EXPECT_EQ(got.Get(), info.Get());
  com::Bstr text;
  ASSERT_EQ(got->GetDescription(&text), S_OK);
  EXPECT_EQ(text.View(), u"failed");
  got.Reset();
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);  // handed over and cleared

  ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);  // clears
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

}  // namespace
