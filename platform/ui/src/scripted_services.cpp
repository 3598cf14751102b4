// The scripted runner: executes a UI script against the innermost running
// dialog and answers the platform dialogs from the script's queue.
#include <deque>
#include <fstream>
#include <iostream>

#include "base/strings.h"
#include "script_parser.h"
#include "ui/dialog.h"
#include "ui/script.h"

namespace ui {

namespace {

using script::Command;
using script::Op;
using script::Quote;

RenderHooks g_hooks;

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDYES: return "yes";
    case IDNO: return "no";
  }
  return "?";
}

const char* ButtonsName(Buttons b) {
  switch (b) {
    case Buttons::Ok: return "ok";
    case Buttons::OkCancel: return "ok/cancel";
    case Buttons::YesNo: return "yes/no";
    case Buttons::YesNoCancel: return "yes/no/cancel";
  }
  return "?";
}

// Decodes UTF-8 into code points; a broken sequence passes its bytes on.
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::u16string wide = base::Utf8ToUtf16(text);
  std::vector<uint32_t> out;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

bool IsButton(ControlKind k) {
  return k == ControlKind::PushButton || k == ControlKind::DefPushButton || k == ControlKind::CheckBox ||
         k == ControlKind::AutoCheckBox || k == ControlKind::RadioButton;
}

// An answer waiting for the platform dialog it is meant for.
struct Pending {
  Op op;  // Answer (message box), File, Font, Printer
  int line = 0;
  std::optional<std::string> expectText;  // expect-box
  int answer = 0;                         // 0 = none yet
  const Command* cmd = nullptr;
};

class Runner final : public ScriptedServices {
 public:
  Runner(std::vector<Command> commands, std::vector<std::string> errors, std::ostream& out)
      : commands_(std::move(commands)), out_(out) {
    for (const std::string& e : errors) Fail(e);
  }

  bool Failed() const override { return failed_; }
  bool Finish() override;

  int RunModal(Dialog& dialog) override;
  int MessageBox(const MessageBoxSpec& box) override;
  std::optional<std::string> FileDialog(const FileDialogSpec& desc) override;
  std::optional<FontChoice> FontDialog() override;
  std::unique_ptr<PrintDevice> PrintDialog() override;
  void ShowHelp(const std::string& helpFile, int context) override {
    out_ << "help: " << helpFile << " #" << context << "\n";
  }
  void OpenUrl(const std::string& url) override { out_ << "url: " << url << "\n"; }
  void SetWaitCursor(bool) override {}
  int ScreenWidth() override { return 1280; }
  int ScreenHeight() override { return 1024; }
  SystemColors Colors() override { return g_hooks.colors ? g_hooks.colors() : ClassicColors(); }
  std::optional<RasterGlyph> RasterizeChar(const FontChoice& font, int pixelHeight, uint32_t code) override {
    if (!g_hooks.rasterize) return {};
    return g_hooks.rasterize(font, pixelHeight, code);
  }

 private:
  void Fail(const std::string& message) {
    failed_ = true;
    out_ << message << "\n";
  }
  void FailAt(const Command& cmd, const std::string& message) {
    Fail("script:" + std::to_string(cmd.line) + ": " + message);
  }
  void Expect(const Command& cmd, bool ok, const std::string& expected, const std::string& found) {
    if (!ok) FailAt(cmd, "expected " + expected + ", found " + found);
  }
  void Execute(const Command& cmd, Dialog& dialog);
  // Queues an answer command; false for other commands.
  bool Enqueue(const Command& cmd);
  // Checks an expectation; false for other commands.
  bool Expectation(const Command& cmd, Dialog& dialog);
  void ExpectMenuItem(const Command& cmd, Dialog& dialog);
  void ExpectControl(const Command& cmd, Dialog& dialog, const ControlState& c);
  void ExpectItems(const Command& cmd, const ControlState& c);
  // Runs a command on the dialog as a whole; false for other commands.
  bool DialogCommand(const Command& cmd, Dialog& dialog);
  void Screenshot(const Command& cmd, Dialog& dialog);
  // Runs a command of user input on the usable control `c`.
  void Input(const Command& cmd, Dialog& dialog, const ControlState& c);
  void Check(const Command& cmd, Dialog& dialog, const ControlState& c);
  void Select(const Command& cmd, Dialog& dialog, const ControlState& c);
  void DoubleClick(const Command& cmd, Dialog& dialog, const ControlState& c);
  void TypeText(const Command& cmd, Dialog& dialog, const ControlState& c);
  // The control of `cmd`, or null after reporting why it cannot be used.
  const ControlState* Usable(const Command& cmd, Dialog& dialog, bool forInput);
  const Pending* Next(Op op);
  void ListControls(const Dialog& dialog);

  std::vector<Command> commands_;
  size_t next_ = 0;
  std::deque<Pending> pending_;
  std::ostream& out_;
  bool failed_ = false;
  int executing_ = 0;  // commands being executed (nested dialogs run inside one)
};

int Runner::RunModal(Dialog& dialog) {
  // The window system centres a window that was not placed: on this screen.
  if (!dialog.WindowPosition())
    dialog.UserMoved((ScreenWidth() - dialog.WindowWidth()) / 2,
                     (ScreenHeight() - dialog.WindowHeight()) / 2);
  while (!dialog.HasEnded()) {
    if (failed_ || next_ >= commands_.size()) {
      if (failed_) {
        out_ << "script: dialog " << dialog.TemplateId() << " cancelled\n";
      } else {
        Fail("script: dialog " + std::to_string(dialog.TemplateId()) +
             " left open at end of script, cancelled");
      }
      dialog.EndDialog(IDCANCEL);
      break;
    }
    ++executing_;
    Execute(commands_[next_++], dialog);
    --executing_;
  }
  return dialog.Result();
}

bool Runner::Finish() {
  if (!failed_ && next_ < commands_.size())
    FailAt(commands_[next_], "\"" + commands_[next_].name + "\" with no dialog open");
  if (!failed_ && !pending_.empty())
    Fail("script:" + std::to_string(pending_.front().line) + ": \"" + pending_.front().cmd->name +
         "\" was never asked for");
  next_ = commands_.size();
  pending_.clear();
  return !failed_;
}

const ControlState* Runner::Usable(const Command& cmd, Dialog& dialog, bool forInput) {
  const ControlState* c = dialog.Control(cmd.id);
  if (!c) {
    FailAt(cmd, "no control " + std::to_string(cmd.id) + " in dialog " + std::to_string(dialog.TemplateId()));
    return nullptr;
  }
  if (forInput && !c->visible) {
    FailAt(cmd, "control " + std::to_string(cmd.id) + " is hidden");
    return nullptr;
  }
  if (forInput && !c->enabled) {
    FailAt(cmd, "control " + std::to_string(cmd.id) + " is disabled");
    return nullptr;
  }
  return c;
}

bool Runner::Expectation(const Command& cmd, Dialog& dialog) {
  switch (cmd.op) {
    case Op::ExpectDialog:
      Expect(cmd, dialog.TemplateId() == cmd.id, "dialog " + std::to_string(cmd.id),
             "dialog " + std::to_string(dialog.TemplateId()));
      return true;
    case Op::ExpectTitle:
      Expect(cmd, dialog.WindowText() == cmd.texts[0], "title " + Quote(cmd.texts[0]),
             Quote(dialog.WindowText()));
      return true;
    case Op::ExpectEnabled:
    case Op::ExpectChecked:
      if (!dialog.HasControl(cmd.id) && dialog.HasMenuItem(cmd.id)) {
        ExpectMenuItem(cmd, dialog);
        return true;
      }
      [[fallthrough]];
    case Op::ExpectText:
    case Op::ExpectVisible:
    case Op::ExpectSelected:
    case Op::ExpectItems:
      if (const ControlState* c = Usable(cmd, dialog, false)) ExpectControl(cmd, dialog, *c);
      return true;
    default: return false;
  }
}

// expect-enabled or expect-checked of a menu item.
void Runner::ExpectMenuItem(const Command& cmd, Dialog& dialog) {
  bool enabled = cmd.op == Op::ExpectEnabled;
  int state = enabled ? dialog.IsMenuItemEnabled(cmd.id) : dialog.IsMenuItemChecked(cmd.id);
  Expect(cmd, state == cmd.value,
         std::string(enabled ? "enabled" : "checked") + " of menu item " + std::to_string(cmd.id) + " " +
             std::to_string(cmd.value),
         std::to_string(state));
}

void Runner::ExpectControl(const Command& cmd, Dialog& dialog, const ControlState& c) {
  std::string id = std::to_string(cmd.id);
  std::string value = std::to_string(cmd.value);
  switch (cmd.op) {
    case Op::ExpectText: {
      std::string text;
      if (!c.owner || !c.owner->QueryText(text)) text = dialog.GetDlgItemText(cmd.id);
      Expect(cmd, text == cmd.texts[0], "text of " + id + " " + Quote(cmd.texts[0]), Quote(text));
      break;
    }
    case Op::ExpectEnabled:
      Expect(cmd, c.enabled == bool(cmd.value), "enabled of " + id + " " + value,
             std::to_string(int(c.enabled)));
      break;
    case Op::ExpectVisible:
      Expect(cmd, c.visible == bool(cmd.value), "visible of " + id + " " + value,
             std::to_string(int(c.visible)));
      break;
    case Op::ExpectChecked:
      Expect(cmd, c.checked == cmd.value, "checked of " + id + " " + value, std::to_string(c.checked));
      break;
    case Op::ExpectSelected:
      Expect(cmd, c.selection == cmd.value, "selected of " + id + " " + value, std::to_string(c.selection));
      break;
    default:  // ExpectItems
      ExpectItems(cmd, c);
  }
}

void Runner::ExpectItems(const Command& cmd, const ControlState& c) {
  std::vector<std::string> items;
  for (size_t i = 0; i < c.items.size(); ++i) {
    std::string text;
    if (!c.owner || !c.owner->QueryItemText(int(i), text)) text = c.items[i].text;
    items.push_back(std::move(text));
  }
  bool same = items == cmd.texts;
  std::string want, have;
  for (size_t i = 0; i < cmd.texts.size(); ++i) want += (i ? " " : "") + Quote(cmd.texts[i]);
  for (size_t i = 0; i < items.size(); ++i) have += (i ? " " : "") + Quote(items[i]);
  Expect(cmd, same, "items of " + std::to_string(cmd.id) + " " + (want.empty() ? "(none)" : want),
         have.empty() ? "(none)" : have);
}

bool Runner::Enqueue(const Command& cmd) {
  switch (cmd.op) {
    // An answer and an expect-box written one after the other, in either
    // order, are about the same box.
    case Op::Answer:
      if (!pending_.empty() && pending_.back().op == Op::Answer && pending_.back().answer == 0) {
        pending_.back().answer = cmd.value;
        return true;
      }
      pending_.push_back({Op::Answer, cmd.line, std::nullopt, cmd.value, &cmd});
      return true;
    case Op::ExpectBox:
      if (!pending_.empty() && pending_.back().op == Op::Answer && !pending_.back().expectText) {
        pending_.back().expectText = cmd.texts[0];
        return true;
      }
      pending_.push_back({Op::Answer, cmd.line, cmd.texts[0], 0, &cmd});
      return true;
    case Op::File:
    case Op::Font:
    case Op::Printer: pending_.push_back({cmd.op, cmd.line, std::nullopt, 0, &cmd}); return true;
    default: return false;
  }
}

void Runner::Execute(const Command& cmd, Dialog& dialog) {
  if (Expectation(cmd, dialog) || Enqueue(cmd) || DialogCommand(cmd, dialog)) return;
  if (const ControlState* c = Usable(cmd, dialog, true)) Input(cmd, dialog, *c);
}

bool Runner::DialogCommand(const Command& cmd, Dialog& dialog) {
  switch (cmd.op) {
    case Op::Ok: dialog.UserOk(); return true;
    case Op::Cancel: dialog.UserCancel(); return true;
    case Op::Menu:
      if (!dialog.HasMenuItem(cmd.id))
        FailAt(cmd, "no menu item " + std::to_string(cmd.id));
      else if (!dialog.IsMenuItemEnabled(cmd.id))
        FailAt(cmd, "menu item " + std::to_string(cmd.id) + " is disabled");
      else
        dialog.UserMenu(cmd.id);
      return true;
    case Op::Controls: ListControls(dialog); return true;
    case Op::Screenshot: Screenshot(cmd, dialog); return true;
    default: return false;
  }
}

void Runner::Screenshot(const Command& cmd, Dialog& dialog) {
  if (!g_hooks.screenshot) {
    FailAt(cmd, "screenshot needs the Qt runner, which is not available");
    return;
  }
  HRESULT hr = g_hooks.screenshot(dialog, cmd.texts[0]);
  if (FAILED(hr)) FailAt(cmd, "screenshot " + Quote(cmd.texts[0]) + " failed: " + base::ErrorText(hr));
}

void Runner::Input(const Command& cmd, Dialog& dialog, const ControlState& c) {
  ControlKind kind = c.desc.kind;
  std::string id = std::to_string(cmd.id);
  switch (cmd.op) {
    case Op::Click:
      if (!IsButton(kind))
        FailAt(cmd, "control " + id + " is not a button");
      else
        dialog.UserClick(cmd.id);
      break;
    case Op::Check: Check(cmd, dialog, c); break;
    case Op::Select:
    case Op::SelectText: Select(cmd, dialog, c); break;
    case Op::DblClick: DoubleClick(cmd, dialog, c); break;
    case Op::Text: TypeText(cmd, dialog, c); break;
    case Op::Focus:
      if (kind == ControlKind::Static || kind == ControlKind::GroupBox || kind == ControlKind::Icon)
        FailAt(cmd, "control " + id + " cannot take the focus");
      else
        dialog.UserFocus(cmd.id);
      break;
    case Op::Key: dialog.UserKey(cmd.id, cmd.key, cmd.mods); break;
    case Op::Char: dialog.UserChar(cmd.id, uint32_t(cmd.value)); break;
    case Op::Mouse: dialog.UserMouse(cmd.id, cmd.mouse, cmd.x, cmd.y, {}); break;
    default: break;
  }
}

// A click on a check box or radio button when its state is not the one asked for.
void Runner::Check(const Command& cmd, Dialog& dialog, const ControlState& c) {
  ControlKind kind = c.desc.kind;
  std::string id = std::to_string(cmd.id);
  if (kind != ControlKind::CheckBox && kind != ControlKind::AutoCheckBox && kind != ControlKind::RadioButton)
    FailAt(cmd, "control " + id + " is not a check box or radio button");
  else if (kind == ControlKind::RadioButton && cmd.value == 0 && c.checked)
    FailAt(cmd, "radio button " + id + " cannot be cleared; check another one of its group");
  else if (c.checked != cmd.value)
    dialog.UserClick(cmd.id);
}

// select (by index) or select-text (by the item's text) in a list or combo box.
void Runner::Select(const Command& cmd, Dialog& dialog, const ControlState& c) {
  std::string id = std::to_string(cmd.id);
  if (c.desc.kind != ControlKind::ListBox && c.desc.kind != ControlKind::ComboBox) {
    FailAt(cmd, "control " + id + " is not a list");
    return;
  }
  int index = cmd.op == Op::Select ? cmd.value : dialog.FindStringExact(cmd.id, cmd.texts[0]);
  if (cmd.op == Op::SelectText && index < 0)
    FailAt(cmd, "expected an item " + Quote(cmd.texts[0]) + " in " + id + ", found none");
  else if (index < 0 || index >= int(c.items.size()))
    FailAt(cmd, "expected an index below " + std::to_string(c.items.size()) + " for " + id + ", found " +
                    std::to_string(index));
  else
    dialog.UserSelect(cmd.id, index);
}

// A double click on the row given, or on the selected one.
void Runner::DoubleClick(const Command& cmd, Dialog& dialog, const ControlState& c) {
  std::string id = std::to_string(cmd.id);
  int row = cmd.hasValue ? cmd.value : c.selection;
  if (c.desc.kind != ControlKind::ListBox)
    FailAt(cmd, "control " + id + " is not a list box");
  else if (row < 0 || row >= int(c.items.size()))
    FailAt(cmd, "expected a row below " + std::to_string(c.items.size()) + " for " + id + ", found " +
                    std::to_string(row));
  else
    dialog.UserDoubleClick(cmd.id, row);
}

// A writable edit field takes the text whole; an owner-drawn control gets
// the focus and then the text as typed characters.
void Runner::TypeText(const Command& cmd, Dialog& dialog, const ControlState& c) {
  if (c.desc.kind == ControlKind::Edit && !(c.desc.style & kReadOnly)) {
    dialog.UserSetText(cmd.id, cmd.texts[0]);
  } else if (c.desc.kind == ControlKind::OwnerDraw && c.owner) {
    dialog.UserFocus(cmd.id);
    for (uint32_t code : CodePoints(cmd.texts[0])) dialog.UserChar(cmd.id, code);
  } else {
    FailAt(cmd, "control " + std::to_string(cmd.id) + " takes no text");
  }
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton: return "button";
    case ControlKind::DefPushButton: return "default-button";
    case ControlKind::CheckBox: return "checkbox";
    case ControlKind::AutoCheckBox: return "auto-checkbox";
    case ControlKind::RadioButton: return "radio";
    case ControlKind::GroupBox: return "group";
    case ControlKind::Static: return "static";
    case ControlKind::Edit: return "edit";
    case ControlKind::ListBox: return "listbox";
    case ControlKind::ComboBox: return "combobox";
    case ControlKind::OwnerDraw: return "custom";
    case ControlKind::Icon: return "icon";
  }
  return "?";
}

void Runner::ListControls(const Dialog& dialog) {
  for (const ControlState& c : dialog.Controls()) {
    std::string text;
    if (!c.owner || !c.owner->QueryText(text)) text = dialog.GetDlgItemText(c.desc.id);
    gfx::Rect r = dialog.ControlRect(c.desc.id);
    out_ << "control " << c.desc.id << " " << KindName(c.desc.kind) << " " << Quote(text)
         << " enabled=" << int(c.enabled) << " visible=" << int(c.visible) << " checked=" << c.checked
         << " at " << r.left << "," << r.top << " " << r.width() << "x" << r.height() << "\n";
  }
  auto item = [&](const MenuItem& m) {
    if (m.id == 0) return;
    out_ << "menu " << m.id << " " << Quote(m.text) << " enabled=" << int(dialog.IsMenuItemEnabled(m.id))
         << " checked=" << int(dialog.IsMenuItemChecked(m.id)) << "\n";
  };
  for (const MenuPopup& p : dialog.Menu().popups)
    for (const MenuItem& m : p.items) item(m);
  for (const MenuItem& m : dialog.SystemMenuItems()) item(m);
}

const Pending* Runner::Next(Op op) {
  // While the first dialog opens no command has run yet: the answers at the
  // top of the script are meant for what it asks then.
  if (executing_ == 0 && !failed_)
    while (next_ < commands_.size() && Enqueue(commands_[next_])) ++next_;
  if (failed_ || pending_.empty() || pending_.front().op != op) return nullptr;
  return &pending_.front();
}

int Runner::MessageBox(const MessageBoxSpec& box) {
  std::string shown = "box: " + box.caption + ": " + Quote(box.text).substr(1);
  shown.pop_back();  // the text with escapes, without its quotes
  int answer = 0;
  const char* note = "";
  std::vector<std::string> failures;  // reported after the box itself
  if (const Pending* p = Next(Op::Answer)) {
    Pending entry = *p;
    pending_.pop_front();
    if (entry.expectText && *entry.expectText != box.text)
      failures.push_back("script:" + std::to_string(entry.line) + ": expected box " +
                         Quote(*entry.expectText) + ", found " + Quote(box.text));
    if (entry.answer != 0 && !OffersAnswer(box.buttons, entry.answer))
      failures.push_back("script:" + std::to_string(entry.line) + ": expected a box offering " +
                         AnswerName(entry.answer) + ", found " + ButtonsName(box.buttons) + " for " +
                         Quote(box.text));
    else
      answer = entry.answer;
  }
  if (answer == 0) {
    answer = DefaultAnswer(box.buttons, box.defaultButton);
    note = " (default)";
  }
  out_ << shown << " -> " << AnswerName(answer) << note << "\n";
  for (const std::string& f : failures) Fail(f);
  return answer;
}

std::optional<std::string> Runner::FileDialog(const FileDialogSpec& desc) {
  const Pending* p = Next(Op::File);
  std::optional<std::string> result;
  if (p && !p->cmd->cancel) result = p->cmd->texts[0];
  if (p) pending_.pop_front();
  out_ << (desc.save ? "save: " : "open: ") << desc.title << " -> "
       << (result ? Quote(*result) : std::string(p ? "cancel" : "cancel (no answer)")) << "\n";
  return result;
}

std::optional<FontChoice> Runner::FontDialog() {
  const Pending* p = Next(Op::Font);
  std::optional<FontChoice> result;
  if (p && !p->cmd->cancel) result = FontChoice{p->cmd->texts[0], p->cmd->value, p->cmd->italic};
  if (p) pending_.pop_front();
  out_ << "font: -> ";
  if (result)
    out_ << Quote(result->face) << " " << result->pointSize << (result->italic ? " italic" : "") << "\n";
  else
    out_ << (p ? "cancel" : "cancel (no answer)") << "\n";
  return result;
}

std::unique_ptr<PrintDevice> Runner::PrintDialog() {
  const Pending* p = Next(Op::Printer);
  std::optional<PrintSetup> setup;
  if (p && !p->cmd->cancel) {
    int dpi = p->cmd->value;
    // An A4 page.
    setup = PrintSetup{dpi, p->cmd->texts[0], int(int64_t(dpi) * 827 / 100), int(int64_t(dpi) * 1169 / 100)};
  }
  if (p) pending_.pop_front();
  out_ << "printer: -> ";
  if (!setup) {
    out_ << (p ? "cancel" : "cancel (no answer)") << "\n";
    return nullptr;
  }
  out_ << setup->dpi << " " << Quote(setup->outputPath) << "\n";
  if (g_hooks.openPrinter)
    if (auto device = g_hooks.openPrinter(*setup)) return device;
  return std::make_unique<RecordingPrintDevice>(*setup);
}

}  // namespace

std::unique_ptr<ScriptedServices> MakeScriptedServices(std::istream& in, std::ostream& out) {
  script::ParseResult parsed = script::Parse(in);
  return std::make_unique<Runner>(std::move(parsed.commands), std::move(parsed.errors), out);
}

std::unique_ptr<ScriptedServices> MakeScriptedServices(const std::string& path, std::ostream& out) {
  if (path == "-") return MakeScriptedServices(std::cin, out);
  std::ifstream file(path);
  if (!file)
    return std::make_unique<Runner>(std::vector<Command>{},
                                    std::vector<std::string>{"script: cannot read " + path}, out);
  return MakeScriptedServices(file, out);
}

void SetRenderHooks(RenderHooks hooks) { g_hooks = std::move(hooks); }
const RenderHooks& GetRenderHooks() { return g_hooks; }

}  // namespace ui
