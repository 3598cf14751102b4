#include <sys/stat.h>

#include "home_fixture.h"
#include "win/home.h"
#include "win/profile.h"
#include "win/registry.h"

namespace {

class ProfileTest : public TempHomeTest {};

TEST_F(ProfileTest, IntegersAndTextsLiveUnderTheMakersKey) {
  win::Profile profile("Vornak", "DX47x");
  EXPECT_EQ(profile.GetProfileInt("Settings", "MainPositionX", 99999), 99999);
  EXPECT_EQ(profile.WriteProfileInt("Settings", "MainPositionX", -20), TRUE);
  EXPECT_EQ(profile.WriteProfileString("Settings", "Last", "file.lcd"), TRUE);
  win::RegistryFlushCache();
  EXPECT_EQ(profile.GetProfileInt("settings", "mainpositionx", 99999), -20);
  EXPECT_EQ(profile.GetProfileString("Settings", "Last", "none"), "file.lcd");
  EXPECT_EQ(profile.GetProfileString("Settings", "Missing", "none"), "none");
  EXPECT_EQ(profile.GetProfileString("Settings", "Missing"), "");
  // A text is not an integer, nor the other way round.
  EXPECT_EQ(profile.GetProfileInt("Settings", "Last", 5), 5);
  EXPECT_EQ(profile.GetProfileString("Settings", "MainPositionX", "d"), "d");

  // Stored as REG_DWORD below HKCU\Software\Vornak\DX47x\Settings.
  win::RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Vornak\\DX47x\\Settings"), L(ERROR_SUCCESS));
  DWORD raw = 0;
  EXPECT_EQ(key.GetDword("MainPositionX", raw), L(ERROR_SUCCESS));
  EXPECT_EQ(raw, static_cast<DWORD>(-20));
  key.Close();

  // A null value removes the entry, a null entry the section.
  EXPECT_EQ(profile.WriteProfileString("Settings", "Last", nullptr), TRUE);
  EXPECT_EQ(profile.GetProfileString("Settings", "Last", "gone"), "gone");
  EXPECT_EQ(profile.WriteProfileString("Settings", nullptr, nullptr), TRUE);
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Vornak\\DX47x\\Settings"), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(profile.WriteProfileString("Settings", nullptr, nullptr), TRUE);
}

TEST_F(ProfileTest, WriteFailsOnReadOnlyHive) {
  win::Profile profile("Vornak", "DX47x");
  ASSERT_EQ(profile.WriteProfileInt("Settings", "X", 1), TRUE);
  ASSERT_EQ(chmod(RegistryFile("HKCU.reg").c_str(), 0444), 0);
  EXPECT_EQ(profile.WriteProfileInt("Settings", "X", 2), FALSE);
  EXPECT_EQ(profile.GetProfileInt("Settings", "X", 0), 1);
}

TEST(HomeDirectoryTest, EnvironmentPrecedence) {
  auto saved = [](const char* n) {
    const char* v = getenv(n);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  auto restore = [](const char* n, const std::optional<std::string>& v) {
    if (v)
      setenv(n, v->c_str(), 1);
    else
      unsetenv(n);
  };
  auto home = saved("DX47X_HOME"), xdg = saved("XDG_DATA_HOME"), user = saved("HOME");
  setenv("DX47X_HOME", "/a", 1);
  setenv("XDG_DATA_HOME", "/b", 1);
  setenv("HOME", "/c", 1);
  EXPECT_EQ(win::HomeDirectory(), "/a");
  setenv("DX47X_HOME", "", 1);  // empty counts as unset
  EXPECT_EQ(win::HomeDirectory(), "/b/dx47x");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(win::HomeDirectory(), "/c/.local/share/dx47x");
  restore("DX47X_HOME", home);
  restore("XDG_DATA_HOME", xdg);
  restore("HOME", user);
}

}  // namespace
