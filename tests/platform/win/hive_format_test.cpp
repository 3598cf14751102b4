// The hive text format on its own: what the reader accepts the writer writes
// back as the same tree, stably; the reader's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hive.h"
#include "win/registry.h"

namespace {

using win::reg::Node;
using win::reg::ParseHive;
using win::reg::SameTree;
using win::reg::SerializeHive;

constexpr const char* kRoot = "HKEY_CLASSES_ROOT";

std::string Hive(const std::string& body) { return "DX47X-HIVE 1\n" + body + "END\n"; }

std::string Written(const Node& root) {
  std::string out, error;
  EXPECT_TRUE(SerializeHive(root, kRoot, out, error)) << error;
  return out;
}

// Reads `text`, which must be accepted, and checks that writing it, reading
// the written text and writing again changes nothing. Returns the tree.
std::unique_ptr<Node> RoundTrip(const std::string& text) {
  auto first = std::make_unique<Node>();
  std::string error;
  EXPECT_TRUE(ParseHive(text, kRoot, *first, error)) << error;
  const std::string written = Written(*first);
  Node second;
  EXPECT_TRUE(ParseHive(written, kRoot, second, error)) << error << "\n" << written;
  EXPECT_TRUE(SameTree(*first, second)) << written;
  EXPECT_EQ(Written(second), written);
  return first;
}

std::string Bytes(const win::reg::Value& v) { return std::string(v.data.begin(), v.data.end()); }

TEST(HiveFormat, KeyNamesOfAnyBytesStayOneName) {
  using namespace std::string_literals;
  struct Case {
    std::string line;  // as a file may hold it
    std::string name;  // the one key name it stands for
  };
  const Case cases[] = {
      {"[HKEY_CLASSES_ROOT\\a%00b]", "a\0b"s},
      {"[HKEY_CLASSES_ROOT\\a\0b]"s, "a\0b"s},  // a raw zero byte
      {"[HKEY_CLASSES_ROOT\\a%5Cb]", "a\\b"},
      {"[HKEY_CLASSES_ROOT\\a%5cb]", "a\\b"},
      {"[HKEY_CLASSES_ROOT\\%25%2541]", "%%41"},
      {"[HKEY_CLASSES_ROOT\\x%0ay%0D]", "x\ny\r"},
      {"[HKEY_CLASSES_ROOT\\tab\there\x7f]", "tab\there\x7f"},
      {"[HKEY_CLASSES_ROOT\\]]", "]"},
      {"[HKEY_CLASSES_ROOT\\[x] ; y]", "[x] ; y"},
      {"[HKEY_CLASSES_ROOT\\\xC3\xBC\xFF]", "\xC3\xBC\xFF"},
      {"[HKEY_CLASSES_ROOT\\%5C]", "\\"},
  };
  for (const Case& c : cases) {
    auto root = RoundTrip(Hive(c.line + "\n"));
    ASSERT_EQ(root->children.size(), 1u) << c.line;
    const Node& key = *root->children.begin()->second;
    EXPECT_EQ(key.name, c.name) << c.line;
    EXPECT_TRUE(key.children.empty()) << c.line;
  }
  // The writer escapes what would otherwise end the name, the key or the line.
  Node root;
  root.AddChild("a\\b").AddChild("c\0d%"s).AddChild("e\nf");
  const std::string text = Written(root);
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\a%5cb\\c%00d%25\\e%0af]\n"), std::string::npos) << text;
}

TEST(HiveFormat, ValuesKeepEveryByte) {
  using namespace std::string_literals;
  auto root =
      RoundTrip(Hive("[HKEY_CLASSES_ROOT\\K]\n"
                     "@=\"default\"\n"
                     "\"quoted zero\"=\"a\\x00b\\x00\"\n"
                     "\"hex zero\"=hex(1):61,00,62\n"
                     "\"escapes\"=\"\\\\ \\\" \\n\\r\\t \\x01\\x7F \xE2\x82\xAC\"\n"
                     "\"raw\"=\"\x01\t\x7f\r\"\n"
                     "\"bin\"=hex:00,7f,ff\n"
                     "\"empty bin\"=hex:\n"
                     "\"short dword\"=dword:1\n"
                     "\"dword\"=dword:FFFFFFFF\n"
                     "\"dword too short\"=hex(4):01,02,03\n"
                     "\"dword as hex\"=hex(4):01,02,03,04\n"
                     "\"expand\"=hex(2):25,00\n"
                     "\"odd type\"=hex(ffffffff):0\n"
                     "\"name \\\"q\\\" \\\\\"=\"\"\n"));
  const Node& key = *root->Child("K");
  auto value = [&](const char* name) -> const win::reg::Value& {
    const win::reg::Value* v = key.FindValue(name);
    EXPECT_NE(v, nullptr) << name;
    static const win::reg::Value none;
    return v ? *v : none;
  };
  EXPECT_EQ(Bytes(value("")), "default");
  EXPECT_EQ(value("quoted zero").type, REG_SZ);
  EXPECT_EQ(Bytes(value("quoted zero")), "a\0b\0"s);
  EXPECT_EQ(value("hex zero").type, REG_SZ);
  EXPECT_EQ(Bytes(value("hex zero")), "a\0b"s);
  EXPECT_EQ(Bytes(value("escapes")), "\\ \" \n\r\t \x01\x7F \xE2\x82\xAC");
  EXPECT_EQ(Bytes(value("raw")), "\x01\t\x7f\r");  // raw bytes inside the quotes, a CR too
  EXPECT_EQ(value("bin").type, REG_BINARY);
  EXPECT_EQ(Bytes(value("bin")), "\x00\x7f\xff"s);
  EXPECT_TRUE(value("empty bin").data.empty());
  EXPECT_EQ(value("short dword").data, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(value("dword").data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(value("dword too short").type, REG_DWORD);
  EXPECT_EQ(value("dword too short").data.size(), 3u);
  EXPECT_EQ(value("dword as hex").data, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(value("expand").type, REG_EXPAND_SZ);
  EXPECT_EQ(value("odd type").type, 0xFFFFFFFFu);
  EXPECT_EQ(Bytes(value("name \"q\" \\")), "");
  EXPECT_EQ(key.values.size(), 14u);

  // A REG_SZ with a zero byte is written as a quoted text that keeps it.
  const std::string text = Written(*root);
  EXPECT_NE(text.find("\"hex zero\"=\"a\\x00b\"\n"), std::string::npos) << text;
}

TEST(HiveFormat, RepeatedNamesMergeAsTheReaderSawThem) {
  auto root =
      RoundTrip(Hive("[HKEY_CLASSES_ROOT\\Key]\n\"v\"=\"1\"\n\"w\"=\"2\"\n"
                     "[hkey_classes_root\\KEY\\Sub]\n"
                     "[HKEY_CLASSES_ROOT\\key]\n\"V\"=dword:3\n"));
  ASSERT_EQ(root->children.size(), 1u);
  const Node& key = *root->Child("key");
  EXPECT_EQ(key.name, "Key");  // the first spelling names the key
  ASSERT_EQ(key.values.size(), 2u);
  EXPECT_EQ(key.values[0].name, "V");  // replaced where it stood
  EXPECT_EQ(key.values[0].type, REG_DWORD);
  EXPECT_EQ(key.values[1].name, "w");
  EXPECT_NE(key.Child("sub"), nullptr);
}

// Files as the earlier writer produced them read as before and are written
// back unchanged.
TEST(HiveFormat, EarlierFilesReadAndStayAsTheyAre) {
  const std::string earlier =
      "DX47X-HIVE 1\n"
      "\n[HKEY_CLASSES_ROOT\\CLSID\\{0B1C2D3E-0000-4000-8000-00000000A001}]\n"
      "@=\"DX470 device events\"\n"
      "\n[HKEY_CLASSES_ROOT\\CLSID\\{0B1C2D3E-0000-4000-8000-00000000A001}\\InprocServer32]\n"
      "@=\"/opt/dx47x/bin/DX47x.so\"\n"
      "\"ThreadingModel\"=\"Apartment\"\n"
      "\n[HKEY_CLASSES_ROOT\\CLSID\\{0B1C2D3E-0000-4000-8000-00000000A001}\\Programmable]\n"
      "\n[HKEY_CLASSES_ROOT\\K%25ey [1] \xC3\xBC%02]\n"
      "\"Title\"=\"say \\\"hi\\\"\\n\"\n"
      "\"MainPositionX\"=dword:00000064\n"
      "\"Raw\"=hex(3):00,7f,ff\n"
      "\"Empty\"=hex(3):\n"
      "\nEND\n";
  auto root = RoundTrip(earlier);
  EXPECT_EQ(Written(*root), earlier);
  EXPECT_NE(root->Child("K%ey [1] \xC3\xBC\x02"), nullptr);
}

TEST(HiveFormat, RefusedTextNamesItsLine) {
  const struct {
    std::string text;
    const char* why;
  } cases[] = {
      {Hive("[HKEY_CLASSES_ROOT\\a%zzb]\n"), "line 2: bad %-escape"},
      {Hive("[HKEY_CLASSES_ROOT\\a%0]\n"), "line 2: bad %-escape"},
      {Hive("[HKEY_CLASSES_ROOT\\a\\\\b]\n"), "line 2: empty key name"},
      {Hive("[HKEY_CLASSES_ROOT\\]\n"), "line 2: empty key name"},
      {Hive("[HKEY_CLASSES_ROOT]\n\"a\\x00\"=\"x\"\n"), "line 3: bad value name"},
  };
  for (const auto& c : cases) {
    Node root;
    std::string error;
    EXPECT_FALSE(ParseHive(c.text, kRoot, root, error)) << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
}

std::string DeepKeyLine(size_t levels) {
  std::string line = "[HKEY_CLASSES_ROOT";
  for (size_t i = 0; i < levels; ++i) line += "\\k";
  return line + "]\n";
}

TEST(HiveFormat, DepthIsBounded) {
  // 512 names below the root are read and written back; one more is refused.
  auto root = RoundTrip(Hive(DeepKeyLine(win::reg::kMaxKeyDepth)));
  size_t depth = 0;
  for (const Node* n = root.get(); !n->children.empty(); n = n->children.begin()->second.get()) ++depth;
  EXPECT_EQ(depth, win::reg::kMaxKeyDepth);

  for (size_t levels : {win::reg::kMaxKeyDepth + 1, size_t{200000}}) {
    Node refused;
    std::string error;
    EXPECT_FALSE(ParseHive(Hive(DeepKeyLine(levels)), kRoot, refused, error));
    EXPECT_EQ(error, "line 2: key nested deeper than 512 levels");
  }
}

TEST(HiveFormat, WriterRefusesWhatTheReaderWouldRefuse) {
  // A tree too deep to read is not written, and is freed without recursion.
  auto root = std::make_unique<Node>();
  Node* n = root.get();
  for (int i = 0; i < 200000; ++i) n = &n->AddChild("k");
  std::string out, error;
  EXPECT_FALSE(SerializeHive(*root, kRoot, out, error));
  EXPECT_NE(error.find("deeper than 512 levels"), std::string::npos) << error;
  root.reset();

  // A hive larger than the reader takes is not written either.
  Node big;
  win::reg::Value v;
  v.type = REG_BINARY;
  v.data.assign(win::reg::kMaxHiveBytes / 3 + 1, 0xAB);  // three text bytes per data byte
  big.values.push_back(v);
  EXPECT_FALSE(SerializeHive(big, kRoot, out, error));
  EXPECT_NE(error.find("larger than 16777216 bytes"), std::string::npos) << error;

  // The reader refuses such text outright.
  Node refused;
  EXPECT_FALSE(ParseHive(std::string(win::reg::kMaxHiveBytes + 1, ';'), kRoot, refused, error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

}  // namespace
