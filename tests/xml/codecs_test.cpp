// Value codecs: entities, base64, long lists and numbers.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "xmlweave/codecs.h"

using namespace xmlweave;

namespace {

std::string Decode(std::string_view text, HRESULT* hr = nullptr) {
  std::string out;
  HRESULT r = XmlTextToString(text, out);
  if (hr) *hr = r;
  return out;
}

}  // namespace

TEST(XmlEntities, EncodeMarkupAndControlBytes) {
  EXPECT_EQ(StringToXmlText("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  EXPECT_EQ(StringToXmlText("\t\n\r ~"), "\t\n\r ~");
  EXPECT_EQ(StringToXmlText(std::string("\x05\x07\x1B\x7F\xE4\xFC", 6)),
            "&#x5;&#x7;&#x1B;&#x7F;&#xE4;&#xFC;");
  EXPECT_EQ(StringToXmlText(std::string(1, '\0')), "&#x0;");
}

TEST(XmlEntities, DecodeNamedOnePassAndUnknown) {
  EXPECT_EQ(Decode("&amp;lt;"), "&lt;");
  EXPECT_EQ(Decode("&quot;&apos;&amp;&lt;&gt;"), "\"'&<>");
  EXPECT_EQ(Decode("x&;y"), "xy");
  EXPECT_EQ(Decode("a&nbsp;b"), "anbspb");
  EXPECT_EQ(Decode("no entities"), "no entities");
}

TEST(XmlEntities, DecodeFailuresLeaveTheCallerTheRawText) {
  // Only an '&' without a ';' behind it fails the value.
  HRESULT hr = S_OK;
  Decode("A & B", &hr);
  EXPECT_EQ(hr, E_FAIL);
  Decode("&amp; and &#65", &hr);
  EXPECT_EQ(hr, E_FAIL);
  // Ill-formed character references no longer fail it (see below).
  EXPECT_EQ(Decode("&#xZZ;", &hr), "#xZZ");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(Decode("&#12a;", &hr), "#12a");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(Decode("&#;", &hr), "#");
  EXPECT_EQ(hr, S_OK);
}

TEST(XmlEntities, IllFormedCharacterReferencesAreCopiedLikeUnknownNames) {
  HRESULT hr = E_FAIL;
  // The rest of the value is decoded as usual.
  EXPECT_EQ(Decode("&#X41;&amp;&#65;", &hr), "#X41&A");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(Decode("a&#6a;b&lt;"), "a#6ab<");
  EXPECT_EQ(Decode("&#-5;&#x41;"), "#-5A");
  EXPECT_EQ(Decode("&#+5;&# 5;"), "#+5# 5");
  // A bad digit anywhere leaves no partial bytes behind.
  EXPECT_EQ(Decode("&#x41ZZ;"), "#x41ZZ");
  EXPECT_EQ(Decode("&#x4142G;&#x4142;"), "#x4142GAB");
  // The hexadecimal form is "#x" at the start only.
  EXPECT_EQ(Decode("&#12x4;"), "#12x4");
  // Decimal codes that are no character: surrogates, beyond U+10FFFF, too
  // many digits.
  EXPECT_EQ(Decode("&#55296;"), "#55296");
  EXPECT_EQ(Decode("&#1114112;"), "#1114112");
  EXPECT_EQ(Decode("&#00000065;"), "#00000065");
  EXPECT_EQ(Decode("&#0000065;"), "A");
  EXPECT_EQ(Decode("&#1114111;"), "\xF4\x8F\xBF\xBF");
}

TEST(XmlEntities, CharacterReferences) {
  EXPECT_EQ(Decode("&#x4142;"), "AB");
  EXPECT_EQ(Decode("&#x05;"), std::string(1, '\x05'));
  EXPECT_EQ(Decode("&#x1B;&#xFC;"), "\x1B\xFC");
  // What the writer makes of a byte below 0x10 comes back as that byte.
  EXPECT_EQ(Decode("&#x7;"), std::string(1, '\x07'));
  EXPECT_EQ(Decode("&#x;"), "");
  // Decimal references are the character with that code.
  EXPECT_EQ(Decode("&#65;&#66;"), "AB");
  EXPECT_EQ(Decode("&#252;"), "\xFC");
  EXPECT_EQ(Decode("&#8364;"), "\xE2\x82\xAC");
}

TEST(XmlEntities, EveryByteSurvivesEncodeAndDecode) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  std::string back;
  ASSERT_EQ(XmlTextToString(StringToXmlText(all), back), S_OK);
  EXPECT_EQ(back, all);
}

TEST(XmlBase64, EncodeKnownValuesAndRefuseEmpty) {
  std::string out;
  const uint8_t three[] = {0, 1, 2};
  ASSERT_EQ(PrepareByteForString(3, three, out), S_OK);
  EXPECT_EQ(out, "AAEC");
  const uint8_t ff[] = {0xFF};
  ASSERT_EQ(PrepareByteForString(1, ff, out), S_OK);
  EXPECT_EQ(out, "/w==");
  const uint8_t two[] = {'h', 'i'};
  ASSERT_EQ(PrepareByteForString(2, two, out), S_OK);
  EXPECT_EQ(out, "aGk=");
  EXPECT_EQ(PrepareByteForString(0, ff, out), E_INVALIDARG);
}

TEST(XmlBase64, DecodeStopsAtPaddingAndRefusesForeignCharacters) {
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Base64StringToByte("/w==", bytes), S_OK);
  EXPECT_EQ(bytes, std::vector<uint8_t>({0xFF}));
  ASSERT_EQ(Base64StringToByte("AAEC", bytes), S_OK);
  EXPECT_EQ(bytes, std::vector<uint8_t>({0, 1, 2}));
  ASSERT_EQ(Base64StringToByte("aGk", bytes), S_OK);  // unpadded
  EXPECT_EQ(bytes, std::vector<uint8_t>({'h', 'i'}));
  EXPECT_EQ(Base64StringToByte("", bytes), E_INVALIDARG);
  EXPECT_EQ(Base64StringToByte("AA EC", bytes), E_INVALIDARG);
  EXPECT_EQ(Base64StringToByte("AAEC\r\n", bytes), E_INVALIDARG);
  EXPECT_EQ(Base64StringToByte("AA*C", bytes), E_INVALIDARG);
  ASSERT_EQ(Base64StringToByte("====", bytes), S_OK);
  EXPECT_TRUE(bytes.empty());
}

TEST(XmlBase64, RandomBytesRoundTrip) {
  std::vector<uint8_t> data;
  uint32_t seed = 12345;
  for (size_t n = 1; n < 200; ++n) {
    data.clear();
    for (size_t i = 0; i < n; ++i) data.push_back(uint8_t((seed = seed * 1103515245 + 12345) >> 16));
    std::string text;
    ASSERT_EQ(PrepareByteForString(n, data.data(), text), S_OK);
    std::vector<uint8_t> back;
    ASSERT_EQ(Base64StringToByte(text, back), S_OK);
    ASSERT_EQ(back, data) << n;
  }
}

TEST(XmlLongArrays, JoinAndSplit) {
  std::string out;
  const int32_t values[] = {1, -2, 30};
  ASSERT_EQ(PrepareLongAForString(3, values, out), S_OK);
  EXPECT_EQ(out, "1,-2,30");
  EXPECT_EQ(PrepareLongAForString(0, values, out), E_INVALIDARG);

  std::vector<int32_t> v;
  ASSERT_EQ(StringToLongA("7,,-3,", v), S_OK);
  EXPECT_EQ(v, std::vector<int32_t>({7, 0, -3}));
  ASSERT_EQ(StringToLongA(",,", v), S_OK);
  EXPECT_EQ(v, std::vector<int32_t>({0, 0}));
  ASSERT_EQ(StringToLongA(" 5,x, -6", v), S_OK);
  EXPECT_EQ(v, std::vector<int32_t>({5, 0, -6}));
  EXPECT_EQ(StringToLongA("", v), E_INVALIDARG);
}

TEST(XmlNumbers, LongFloatAndBool) {
  EXPECT_EQ(ParseLong("  -42xyz"), -42);
  EXPECT_EQ(ParseLong("+7"), 7);
  EXPECT_EQ(ParseLong("abc"), 0);
  EXPECT_EQ(ParseLong(""), 0);
  EXPECT_EQ(ParseLong("99999999999"), INT32_MAX);
  EXPECT_EQ(ParseLong("-99999999999"), INT32_MIN);
  EXPECT_EQ(ParseLong("-2147483648"), INT32_MIN);

  EXPECT_FLOAT_EQ(ParseFloat(" 1.5e2x"), 150.0f);
  EXPECT_FLOAT_EQ(ParseFloat("-.25"), -0.25f);
  EXPECT_EQ(ParseFloat("inf"), HUGE_VALF);  // what the writer writes for infinity
  EXPECT_EQ(ParseFloat("junk"), 0.0f);
  EXPECT_EQ(ParseFloat("1e999"), HUGE_VALF);

  EXPECT_EQ(ParseBool("1"), 1);
  EXPECT_EQ(ParseBool("true"), 0);
  EXPECT_EQ(ParseBool(" 1"), 0);

  std::string s;
  AppendFloat(s, 3.14159274f);
  EXPECT_EQ(s, "3.141593");
  for (float f : {0.0f, 1.0f, -2.5f, 1e-20f, 123456.7f, 3.4e38f}) {
    s.clear();
    AppendFloat(s, f);
    EXPECT_NEAR(ParseFloat(s), f, std::abs(f) * 1e-6f) << s;
  }
}

TEST(XmlNumbers, ValuesThatAreNotFiniteSurviveWriteAndRead) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::string s;
  AppendFloat(s, inf);
  EXPECT_EQ(s, "inf");
  s.clear();
  AppendFloat(s, -inf);
  EXPECT_EQ(s, "-inf");
  s.clear();
  AppendFloat(s, nan);
  EXPECT_EQ(s, "nan");
  s.clear();
  AppendFloat(s, -nan);
  EXPECT_EQ(s, "-nan");

  for (float f : {inf, -inf, nan, -nan}) {
    s.clear();
    AppendFloat(s, f);
    const float back = ParseFloat(s);
    EXPECT_EQ(std::isnan(back), std::isnan(f)) << s;
    EXPECT_EQ(std::signbit(back), std::signbit(f)) << s;
    if (!std::isnan(f)) {
      EXPECT_EQ(back, f) << s;
    }
  }
  // Any case, the long form, blanks before and a sign.
  EXPECT_EQ(ParseFloat("INF"), inf);
  EXPECT_EQ(ParseFloat(" -Infinity"), -inf);
  EXPECT_EQ(ParseFloat("+inf"), inf);
  EXPECT_TRUE(std::isnan(ParseFloat("NaN")));
  EXPECT_TRUE(std::signbit(ParseFloat("-nan")));
  // What only starts like them, and hexadecimal numbers, are no number.
  EXPECT_EQ(ParseFloat("in"), 0.0f);
  EXPECT_EQ(ParseFloat("na"), 0.0f);
  EXPECT_EQ(ParseFloat("-"), 0.0f);
  EXPECT_EQ(ParseFloat("0x10"), 0.0f);
  // Out of the range of a double.
  EXPECT_EQ(ParseFloat("2.5e400"), inf);
  EXPECT_EQ(ParseFloat("-2.5e400"), -inf);
  EXPECT_EQ(ParseFloat("2.5e-400"), 0.0f);
}

namespace {

// Switches the process to a locale whose decimal point is a comma, and back
// to "C" at the end. An installed one is taken; else one is compiled with
// localedef into a temporary folder (which needs no privileges) and found
// through LOCPATH.
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                             "it_IT.UTF-8", "es_ES.UTF-8", "ru_RU.UTF-8"})
      if (Use(name)) return;
    char dir[] = "/tmp/xml_locale_XXXXXX";
    if (!::mkdtemp(dir)) return;
    m_dir = dir;
    const std::string command = "localedef -i de_DE -f UTF-8 " + m_dir + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    ::setenv("LOCPATH", m_dir.c_str(), 1);
    Use("de_DE.UTF-8");
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    if (!m_dir.empty()) std::system(("rm -rf " + m_dir).c_str());
  }
  bool Active() const { return !m_name.empty(); }
  const std::string& Name() const { return m_name; }

 private:
  bool Use(const char* name) {
    if (!std::setlocale(LC_ALL, name)) return false;
    if (std::string(std::localeconv()->decimal_point) != ",") {
      std::setlocale(LC_ALL, "C");
      return false;
    }
    m_name = name;
    return true;
  }
  std::string m_dir, m_name;
};

}  // namespace

TEST(XmlNumbers, FloatsReadTheSameInALocaleWithADecimalComma) {
  CommaLocale locale;
  if (!locale.Active())
    GTEST_SKIP() << "no locale with a decimal comma is installed and localedef could not make "
                    "one";
  // The locale is in force: the C library itself now reads "2.5" as 2.
  ASSERT_EQ(std::strtod("2.5", nullptr), 2.0) << locale.Name();
  EXPECT_EQ(ParseFloat("2.5"), 2.5f);
  EXPECT_EQ(ParseFloat("2.5e400"), HUGE_VALF);
  EXPECT_EQ(ParseFloat("-2.5e400"), -HUGE_VALF);
  EXPECT_EQ(ParseFloat("1.5e-400"), 0.0f);
  EXPECT_EQ(ParseFloat("2,5"), 2.0f);  // a comma is not the point here
  std::string s;
  AppendFloat(s, 1234.5f);
  EXPECT_EQ(s, "1234.5");
}
