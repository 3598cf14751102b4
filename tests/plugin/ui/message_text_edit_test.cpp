// The message text field in a small dialog with the parent's Tabulator,
// Replacement and Symbol buttons and a second row of the same message,
// driven by UI scripts; its pixels against expected pictures.
#include "editor/message_text_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

#include "pixels.h"
#include "ui/dialog.h"
#include "ui/script.h"

namespace {

using editor::CMessageTextEdit;

constexpr int kRow1 = 100, kRow2 = 110, kTab = 101, kReplacement = 102, kSymbol = 103;

ui::DialogTemplate FieldTemplate() {
  ui::DialogTemplate t;
  t.id = 950;
  t.cx = 200;
  t.cy = 80;
  t.controls = {
      {kRow1, ui::ControlKind::OwnerDraw, "", {5, 5, 100, 12}, ui::kTabStop},
      {kRow2, ui::ControlKind::OwnerDraw, "", {5, 20, 100, 12}, ui::kTabStop},
      {kTab, ui::ControlKind::PushButton, "Tab", {120, 5, 40, 14}, ui::kTabStop},
      {kReplacement, ui::ControlKind::PushButton, "Repl", {120, 22, 40, 14}, ui::kTabStop},
      {kSymbol, ui::ControlKind::PushButton, "Sym", {120, 39, 40, 14}, ui::kTabStop},
      {ui::IDOK, ui::ControlKind::DefPushButton, "OK", {120, 60, 40, 14}, ui::kTabStop},
  };
  return t;
}

class FieldDialog : public ui::Dialog {
 public:
  explicit FieldDialog(const dx470::ZEICHENSATZ& font) : Dialog(FieldTemplate()), font_(font) {}
  CMessageTextEdit row1, row2;
  CMessageTextEdit::ReplacementTable table{};
  std::string row1Text, row2Text;
  int length = 3;
  std::vector<std::string> notes;  // notifications of row 1

 protected:
  bool OnInitDialog() override {
    Attach(kRow1, row1);
    Attach(kRow2, row2);
    for (CMessageTextEdit* e : {&row1, &row2}) e->SetFont(&font_, 0);
    row1.Configure(1, &table);
    row2.Configure(2, &table);
    row1.SetText(reinterpret_cast<const uint8_t*>(row1Text.c_str()), length);
    row2.SetText(reinterpret_cast<const uint8_t*>(row2Text.c_str()), 3);
    return false;
  }
  void OnCommand(int id, int code) override {
    CMessageTextEdit& target = GetFocus() == kRow2 || lastField_ == kRow2 ? row2 : row1;
    if (id == kTab)
      target.InsertTabMarker();
    else if (id == kReplacement)
      target.InsertReplacementMarker();
    else if (id == kSymbol)
      target.InsertSymbol();
    else
      Dialog::OnCommand(id, code);
  }
  void OnNotify(int id, int code, intptr_t param) override {
    if (code == CMessageTextEdit::kFocusNotify && param == 1) lastField_ = id;
    if (id == kRow1)
      notes.push_back((code == CMessageTextEdit::kFocusNotify ? "focus " : "change ") +
                      std::to_string(param));
  }

 private:
  const dx470::ZEICHENSATZ& font_;
  int lastField_ = 0;
};

class MessageTextEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(font.get(), 0, sizeof *font);
    // 'A' a 4-pixel block, 'B' 2 pixels wide with its first column set,
    // 'C' a 6-pixel block; 3 rows.
    font->Height = 3;
    font->First = 'A';
    font->Last = 'C';
    font->DefaultChar = 'A';
    font->TabChar = 1;
    font->ReplacementChar = 2;
    const int widths[] = {4, 2, 6};
    for (int g = 0; g < 3; ++g) {
      dx470::ZEICHEN& z = font->Glyphs[g];
      z.Width = uint8_t(widths[g]);
      z.Height = 3;
      for (int r = 0; r < 3; ++r) z.Bitmap[r] = g == 1 ? 0x80 : uint8_t(0xFF << (8 - widths[g]));
    }
  }
  // Runs the dialog with `script`; the report.
  std::string Run(FieldDialog& d, const std::string& script) {
    std::istringstream in(script + "ok\n");
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    d.DoModal(*services);
    ok = services->Finish();
    return out.str();
  }
  static int Count(const std::vector<std::string>& notes, const std::string& what) {
    return int(std::count(notes.begin(), notes.end(), what));
  }

  std::unique_ptr<dx470::ZEICHENSATZ> font = std::make_unique<dx470::ZEICHENSATZ>();
  bool ok = false;
};

TEST_F(MessageTextEdit, TypingKeysAndTheFieldLength) {
  FieldDialog d(*font);
  d.row1Text = "ABC";
  // A full field: a selection makes room; without one the length is reached.
  std::string report = Run(d, R"(
focus 100
key 100 Home
key 100 Right shift
char 100 67
expect-text 100 "CBC"
char 100 65
expect-text 100 "CBC"
char 100 68
char 100 120
)");
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(report, "box: Error: Maximum length of text reached! -> ok (default)\n");
  EXPECT_EQ(Count(d.notes, "change 0"), 2);  // characters outside the font are dropped silently
  EXPECT_EQ(d.notes.front(), "focus 1");

  // Backspace at 0 and Delete at the end remove nothing and still notify.
  FieldDialog d2(*font);
  d2.row1Text = "AB";
  report = Run(d2,
               "focus 100\nkey 100 Home\nkey 100 Back\nkey 100 End\nkey 100 Delete\nexpect-text 100 \"AB\"\n"
               "key 100 Left\nkey 100 Back\nexpect-text 100 \"B\"\n");
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Count(d2.notes, "change 0"), 3);
  EXPECT_EQ(d2.row1.Caret(), 0);

  // A field of length 0 takes nothing.
  FieldDialog d3(*font);
  d3.length = 0;
  report = Run(d3, "text 100 \"A\"\nexpect-text 100 \"\"\n");
  EXPECT_EQ(report, "box: Error: Maximum length of text reached! -> ok (default)\n");
}

TEST_F(MessageTextEdit, OneTabPerRowAndOneValueMarkerPerMessage) {
  FieldDialog d(*font);
  d.row1Text = "AB";
  d.length = 5;
  // The button takes the focus; the field gets it back with its selection.
  std::string report = Run(d, R"(
focus 100
key 100 End
key 100 Left
click 101
expect-text 100 "A\x01B"
key 100 Home
key 100 End shift
click 101
expect-text 100 "A\x01B"
focus 100
key 100 End
click 102
expect-text 100 "A\x01B\x02"
focus 110
click 102
expect-text 110 ""
)");
  EXPECT_TRUE(ok) << report;
  // The first tab was selected when the second was asked for: refused all
  // the same; row 2 may not take a second value marker of the message.
  EXPECT_EQ(report,
            "box: Error: Only one tab position per line is possible! -> ok (default)\n"
            "box: Error: Only one replacement position per message is possible! -> ok (default)\n");
}

// A row loaded with the marker counts before its own command ever ran.
TEST_F(MessageTextEdit, ValueMarkerOfAnotherRowIsRefused) {
  FieldDialog d(*font);
  d.row1Text = "A\x02";
  std::string report = Run(d, "focus 100\nkey 100 End\nfocus 110\nclick 102\nexpect-text 110 \"\"\n");
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(report, "box: Error: Only one replacement position per message is possible! -> ok (default)\n");
  EXPECT_TRUE(d.table[0]);
}

TEST_F(MessageTextEdit, SymbolPickerKeepsTheSelectionWhenCancelled) {
  FieldDialog d(*font);
  d.row1Text = "AB";
  int asked = 0;
  d.row1.SetPicker([&](const dx470::ZEICHENSATZ&, int, uint8_t&) { return ++asked, false; });
  Run(d, "focus 100\nkey 100 Home\nkey 100 Right shift\nclick 103\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(d.row1.Anchor(), 0);
  EXPECT_EQ(d.row1.Caret(), 1);

  // Without a picker of its own the field opens the character picker.
  FieldDialog d2(*font);
  d2.row1Text = "AB";
  std::string report = Run(d2, R"(
focus 100
key 100 Home
key 100 Right shift
click 103
expect-dialog 211
expect-enabled 1 0
key 310 Home
key 310 Down
key 310 Down
key 310 Right
key 310 Right
expect-enabled 1 1
ok
expect-dialog 950
expect-text 100 "BB"
)");
  EXPECT_TRUE(ok) << report;
}

TEST_F(MessageTextEdit, MouseHitsTheNearerSideAndDoubleClickSelectsAll) {
  FieldDialog d(*font);
  d.row1Text = "AAA";  // characters at x 2, 6 and 10, 4 wide
  std::string report = Run(d, R"(
mouse 100 down 3 5
mouse 100 move 11 5
mouse 100 up 11 5
)");
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(d.row1.Anchor(), 0);
  EXPECT_EQ(d.row1.Caret(), 2);  // 11 lies on the left half of the third

  FieldDialog d2(*font);
  d2.row1Text = "AAA";
  report = Run(d2, R"(
mouse 100 down 5 5
mouse 100 dblclick 5 5
char 100 66
expect-text 100 "AAA"
mouse 100 up 5 5
char 100 66
expect-text 100 "B"
)");
  EXPECT_TRUE(ok) << report;
}

TEST_F(MessageTextEdit, PaintsTextSelectionAndCaret) {
  FieldDialog d(*font);
  d.row1Text = "AB";
  gfx::Bitmap shot;
  ui::RenderHooks hooks;
  hooks.screenshot = [&](ui::Dialog& dialog, const std::string&) {
    shot = dialog.PaintControl(kRow1);
    return S_OK;
  };
  ui::SetRenderHooks(hooks);
  // 'B' selected, the caret behind it.
  Run(d,
      "focus 100\nkey 100 End\nkey 100 Left shift\nkey 100 Right shift\nkey 100 Left\nkey 100 End shift\n"
      "screenshot \"x\"\n");
  ui::SetRenderHooks({});
  ASSERT_FALSE(shot.empty());
  EXPECT_EQ(pixels::Picture(pixels::Crop(shot, {0, 0, 12, 7})),
            "############\n"
            "#...........\n"
            "#.####.N#...\n"
            "#.####.N#...\n"
            "#.####.N#...\n"
            "#...........\n"
            "#...........\n");
}

}  // namespace
