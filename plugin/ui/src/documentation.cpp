// The printed documentation: page header and footer, the message blocks
// and the general parameters.
#include "editor/documentation.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "data/dx470data.h"
#include "data/msgtypes.h"
#include "data/positions.h"
#include "editor/characters.h"
#include "editor/general_params.h"
#include "editor/main_dialog.h"
#include "editor/message_formats.h"
#include "editor/numeric_value.h"
#include "logger/logger.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace editor {

PrintSource::~PrintSource() = default;

namespace {

const char* const kLevel[] = {"", "    ", "            ", "                ", "                    "};

std::string Format(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string T(const char* key) { return Translate(key); }

// Device codes as text: the Windows Western signs and Latin-1, the value
// position as "[...]", other control codes as blanks.
std::string DeviceText(const uint8_t* codes, size_t size, const dx470::ZEICHENSATZ& font) {
  std::string out;
  for (size_t i = 0; i < size && codes[i] != 0; ++i) {
    const uint8_t c = codes[i];
    if (c == font.ReplacementChar) {
      out += "[...]";
    } else if (c < 0x20) {
      out += ' ';
    } else {
      out += DeviceCharUtf8(c);
    }
  }
  return out;
}

float FloatAt(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, size_t offset) {
  std::array<uint8_t, 4> b{};
  std::memcpy(b.data(), reinterpret_cast<const uint8_t*>(&m) + offset, 4);
  return DecodeFloat(b);
}

class Report {
 public:
  Report(ui::PrintDevice& device, const dx470::PARAM& param, PrintSource& source)
      : m_device(device), m_param(param), m_source(source), m_k(device.Dpi() / 300) {}

  HRESULT Print();

 private:
  void Line(const std::string& text, int distance) {
    m_y += m_k * distance;
    m_device.TextOut(m_xL, m_y, text);
  }
  void Rule(int distance) {
    m_y += m_k * distance;
    m_device.Line(m_xL, m_y, m_xR, m_y);
  }
  bool RoomLeft() const { return m_k * 1600 < m_device.PageHeight() - m_y; }
  void SelectFont() { m_device.SelectFont({"Arial", -32 * m_k, 400, false}); }
  void Header();
  void Footer();
  std::string Addresses(int number);
  void Message(int number, int slot);
  void TypeDetails(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t receive, bool signedValues);
  void SendDetails(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t send);
  void Alarm(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t receive);
  void GeneralParameters();
  std::string Time(int byte) const { return ReportTime(DecodeTime(m_param.Lcd.General.Bytes[byte])); }

  ui::PrintDevice& m_device;
  const dx470::PARAM& m_param;
  PrintSource& m_source;
  int m_k;
  int m_xL = 0, m_xR = 0, m_y = 0;
  int m_page = 1;
};

void Report::Header() {
  m_device.StartPage();
  std::string project = T("Device info"), product, description, address = T("Physical address");
  m_source.HeaderTexts(project, product, description, address, T("Appl. program:"));
  m_y = 50 * m_k;
  m_xL = 200 * m_k;
  m_xR = m_device.PageWidth() - 200 * m_k;
  Line(project, 0);
  Rule(50);
  Line(product, 10);
  if (!description.empty()) Line(description, 50);
  Line(address, 50);
  m_y += 150 * m_k;
  m_xR = 1500 * m_k;
}

void Report::Footer() {
  m_xL = 200 * m_k;
  m_xR = m_device.PageWidth() - 200 * m_k;
  m_y = m_device.PageHeight() - 50 * m_k;
  Rule(0);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Line(Format("%s %d", T("Page").c_str(), m_page) + Format("       %02d.%02d.%04d  %02d:%02d ", local.tm_mday,
                                                           local.tm_mon + 1, local.tm_year + 1900,
                                                           local.tm_hour, local.tm_min),
       10);
  m_device.EndPage();
  SelectFont();
  ++m_page;
}

std::string Report::Addresses(int number) {
  std::string addresses;
  if (FAILED(m_source.GroupAddresses(int16_t(number), addresses))) return T("invalid");
  return addresses;
}

void Report::TypeDetails(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t receive, bool signedValues) {
  const uint8_t* b = m.TypeSpecific;  // record bytes 100..
  const dx470::ZEICHENSATZ& font = m_param.Lcd.Fonts[m.NormalFont == 1 ? 1 : 0];
  auto label = [](int level, const char* key) { return Format("%s%s: ", kLevel[level], T(key).c_str()); };
  (void)signedValues;
  switch (receive) {
    case dx470::kTypeStaticText:
      Line(label(2, "Confirm switching") + T((b[0] & 1) ? "Yes" : "No"), 50);
      if (b[0] & 1) Line(label(3, "Confirmation text") + DeviceText(b + 1, 30, font), 50);
      return;
    case dx470::kTypeSwitch:
      Line(Format("%s%s ", kLevel[2], T("Text for").c_str()) + "\"1\": " + DeviceText(b, 30, font), 50);
      Line(Format("%s%s ", kLevel[2], T("Text for").c_str()) + "\"0\": " + DeviceText(b + 30, 30, font), 50);
      return;
    case dx470::kTypeTime: Line(label(2, "Time format") + TimeExample(b[0]), 50); return;
    case dx470::kTypeDate: Line(label(2, "Date format") + DateExample(b[0]), 50); return;
    case dx470::kTypeCharacter:
    case dx470::kTypeText14: return;
    default: break;
  }
  if (!dx470::IsNumericType(receive)) return;
  const bool text = b[3] & dx470::kValueFlagTextMode;
  Line(label(2, "Display mode") + T(text ? "Text instead of values" : "Values"), 50);
  if (!text) {
    const float lowerObj = FloatAt(m, 108), upperObj = FloatAt(m, 104);
    if (lowerObj == 0 && upperObj == 0) {
      Line(label(2, "Scaling") + T("not active"), 50);
    } else {
      Line(label(2, "Scaling"), 50);
      Line(Format("%s%s / %s %.3f / %.3f", kLevel[4], T("Lower obj. value").c_str(),
                  T("Display value:").c_str(), double(lowerObj), double(FloatAt(m, 116))),
           50);
      Line(Format("%s%s / %s %.3f / %.3f", kLevel[4], T("Upper obj. value").c_str(),
                  T("Display value:").c_str(), double(upperObj), double(FloatAt(m, 112))),
           50);
    }
    Line(Format("%s%s", kLevel[3], T("Floating point presentation").c_str()), 50);
    const int e = int8_t(b[0]);
    if (e < 0)
      Line(Format("%s%s %u", kLevel[4], T("Multiply value by:").c_str(),
                  unsigned(std::lround(std::pow(10, -e)))),
           50);
    if (e > 0)
      Line(
          Format("%s%s %u", kLevel[4], T("Divide value by:").c_str(), unsigned(std::lround(std::pow(10, e)))),
          50);
    Line(Format("%s%s: %u / %u", kLevel[4], T("Integer/Decimal digits").c_str(), unsigned(b[1]),
                unsigned(b[2])),
         50);
  } else {
    Line(label(2, "Lower/Upper limit:") +
             Format(" %.3f / %.3f", double(FloatAt(m, 108)), double(FloatAt(m, 104))),
         50);
    Line(Format("%s%s: %s / %s / %s", kLevel[3], T("Text").c_str(), DeviceText(b + 80, 30, font).c_str(),
                DeviceText(b + 50, 30, font).c_str(), DeviceText(b + 20, 30, font).c_str()),
         50);
  }
}

void Report::SendDetails(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t send) {
  const dx470::ZEICHENSATZ& font = m_param.Lcd.Fonts[m.NormalFont == 1 ? 1 : 0];
  if (send == dx470::kTypeSwitch) {
    uint32_t value = 0;
    std::memcpy(&value, m.SendData, 4);
    const std::string text = value == 1   ? T("Only") + " \"1\""
                             : value == 2 ? T("Only") + " \"0\""
                                          : "\"0\"" + T(" and") + " \"1\"";
    Line(Format("%s%s: ", kLevel[2], T("Binary send value").c_str()) + text, 50);
  } else if (dx470::IsNumericType(send)) {
    Line(Format("%s%s", kLevel[2], T("Send values").c_str()), 50);
    const char* const keys[] = {"Lower limit", "Upper limit", "Step width"};
    for (int i = 0; i < 3; ++i)
      Line(Format("%s%s : %.3f", kLevel[4], T(keys[i]).c_str(), double(FloatAt(m, 220 + 4 * size_t(i)))), 50);
  } else if (send == dx470::kTypeCharacter || send == dx470::kTypeText14) {
    Line(Format("%s%s: ", kLevel[2], T("Send text").c_str()) +
             DeviceText(m.SendData, send == dx470::kTypeCharacter ? 1 : 14, font),
         50);
  }
}

void Report::Alarm(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m, uint8_t receive) {
  if (receive <= dx470::kTypeStaticText || !(m.Options & 0x01)) return;
  Line(Format("%s%s", kLevel[1], T("Activate alarm").c_str()), 50);
  Line(Format("%s%s", kLevel[2], T((m.Options & 0x02) ? "with alarm beep" : "without alarm beep").c_str()),
       50);
  if (m.Options & 0x04) Line(Format("%s%s", kLevel[2], T("Message is visible on alarm only").c_str()), 50);
  std::string condition = Format("%s%s: %s ", kLevel[2], T("Condition").c_str(), T("if value is").c_str());
  if (receive == dx470::kTypeSwitch) {
    condition += (m.TypeSpecific[60] & 1) ? "\"1\"" : "\"0\"";
  } else {
    const uint8_t flags = m.TypeSpecific[3];
    const bool greater = flags & 0x04, less = flags & 0x08, equal = flags & 0x10;
    if (greater) condition += T("greater than");
    if (less) condition += T("less than");
    if (equal && (greater || less)) condition += " " + T("or") + " ";
    if (equal) condition += T("equal to");
    condition += " " + T("alarm value:") + Format(" %.3f", double(FloatAt(m, 210)));
  }
  Line(condition, 50);
}

void Report::Message(int number, int slot) {
  if (!RoomLeft()) {
    Footer();
    Header();
  }
  const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m = m_param.Lcd.Messages[slot];
  const uint8_t receive = m_param.MessageKind[slot], send = m_param.MessageType[slot];
  const bool signedValues = (m.TypeSpecific[3] & dx470::kValueFlagSigned) != 0;
  const dx470::ZEICHENSATZ& font = m_param.Lcd.Fonts[m.NormalFont == 1 ? 1 : 0];
  Rule(50);
  Line("", 70);
  Line(Format("%s  %u", T("Message:").c_str(), unsigned(number)), 10);
  std::string text = Format("%s%s:  ", kLevel[1], T("Text").c_str()) + DeviceText(m.Text[0], 30, font);
  if (m.Text[1][0] != 0) {
    text += " / " + DeviceText(m.Text[1], 30, font);
    if (m.Text[2][0] != 0) text += " / " + DeviceText(m.Text[2], 30, font);
  }
  Line(text, 80);
  Line(Format("%s%s %u", kLevel[2], T("Normal font:").c_str(), unsigned(m.NormalFont == 1 ? 2 : 1)), 50);
  Line(Format("%s%s %u", kLevel[2], T("Highlighted font:").c_str(), unsigned(m.HighlightedFont == 1 ? 2 : 1)),
       50);
  const bool receiveObject = receive > dx470::kTypeStaticText;
  if (receiveObject)
    Line(Format("%s%s:  %d", kLevel[1], T("Receive object").c_str(), slot + 1), 80);
  else
    Line(Format("%s%s:  %s", kLevel[1], T("Receive object").c_str(), T("No object").c_str()), 80);
  Line(Format("%s%s: ", kLevel[2], T("Type").c_str()) +
           DX470MainDialog::ReceiveTypeText(receive, signedValues),
       50);
  TypeDetails(m, receive, signedValues);
  if (receiveObject)
    Line(Format("%s%s: ", kLevel[2], T("Group addresses").c_str()) + Addresses(slot + 1), 50);
  const bool sendObject = send > dx470::kTypeStaticText;
  if (sendObject)
    Line(Format("%s%s:  %d", kLevel[1], T("Send object").c_str(), slot + 17), 80);
  else
    Line(Format("%s%s:  %s", kLevel[1], T("Send object").c_str(), T("No object").c_str()), 80);
  Line(Format("%s%s: ", kLevel[2], T("Type").c_str()) +
           DX470MainDialog::SendTypeText(receive, send, signedValues),
       50);
  SendDetails(m, send);
  if (sendObject) Line(Format("%s%s: ", kLevel[2], T("Group addresses").c_str()) + Addresses(slot + 17), 50);
  Line(Format("%s%s ", kLevel[1], T("Scroll message:").c_str()) + T((m.Options & 0x20) ? "Yes" : "No"), 50);
  const char* request = (m.Options & 0x80) ? "After reset" : (m.Options & 0x40) ? "Polling" : "Never";
  Line(Format("%s%s ", kLevel[1], T("Request object value:").c_str()) + T(request), 50);
  Alarm(m, receive);
}

void Report::GeneralParameters() {
  const uint8_t flags = m_param.Lcd.General.Bytes[3];
  auto item = [&](const char* key, const std::string& value) {
    Line(Format("%s%s ", kLevel[2], T(key).c_str()) + value, 50);
  };
  auto group = [&](const char* key) { Line(Format("%s%s", kLevel[1], T(key).c_str()), 80); };
  auto addresses = [&](const char* key, int object) {
    Line(Format("%s%s %s: ", kLevel[2], T(key).c_str(), T("Group addresses").c_str()) + Addresses(object),
         50);
  };
  Rule(50);
  Line("", 70);
  Line(Format("%s:", T("General parameters").c_str()), 50);
  group("Alarm");
  item("Flash interval time:", Time(0));
  item("Alarm repetition:", T((flags & 0x01) ? "Yes" : "No"));
  item("Alarm beep:", (flags & 0x02) ? T("Continuously") : T("Interval") + " " + Time(2));
  item("Alarm beep duration:", Time(1));
  addresses("Alarm state", 33);
  addresses("Alarm confirm.", 34);
  group("Backlight");
  const int32_t backlight = DecodeTime(m_param.Lcd.General.Bytes[4]);
  if (backlight == 0) {
    Line(Format("%s%s", kLevel[2], T("Always Off").c_str()), 50);
  } else if (backlight > 56999) {
    Line(Format("%s%s", kLevel[2], T("Always On").c_str()), 50);
  } else {
    item("On key pressed:", ReportTime(backlight));
    if (!(flags & 0x10))
      Line(Format("%s%s %s", kLevel[3], T("Execute key press only").c_str(),
                  T("when backlight is on").c_str()),
           50);
  }
  addresses("Backlight", 0);
  group("Keys");
  item("Key beep:", T((flags & 0x08) ? "Yes" : "No"));
  item("Switch mode:", T((flags & 0x04) ? "Toggle/Toggle" : "Off/On"));
  group("Scroll timing");
  item("Start scrolling after:", Time(8));
  item("Scroll interval:", Time(9));
  group("Actualisation timing");
  item("Delay after reset", Time(5));
  item("Between requests:", Time(6));
  item("Polling interval:", Time(7));
  Rule(100);
}

HRESULT Report::Print() {
  SelectFont();
  if (HRESULT hr = m_device.StartDocument("Print-Doc"); FAILED(hr)) return hr;
  Header();
  const auto order = dx470::SlotsInDisplayOrder(m_param);
  const int shown = dx470::ShownMessageCount(m_param);
  for (int row = 0; row < shown; ++row) Message(row + 1, order[size_t(row)]);
  Footer();
  Header();
  GeneralParameters();
  Footer();
  return m_device.EndDocument();
}

}  // namespace

std::string ReportTime(int32_t tenths) {
  if (tenths >= 56401) return " " + T("Forever");
  if (tenths < 600)
    return Format("%lu,%c %s", static_cast<unsigned long>(tenths / 10), tenths % 10 < 5 ? '0' : '5',
                  T("sec").c_str());
  return Format("%lu,%c %s", static_cast<unsigned long>(tenths / 600), tenths % 600 < 300 ? '0' : '5',
                T("min").c_str());
}

HRESULT PrintReport(ui::PrintDevice& device, const dx470::PARAM& param, PrintSource& source) {
  const int dpi = device.Dpi();
  if (dpi != 300 && dpi != 600 && dpi != 900 && dpi != 1200 && dpi != 2400) return E_INVALIDARG;
  return Report(device, param, source).Print();
}

void PrintDocumentation(ui::PlatformServices& services, const dx470::PARAM& param, PrintSource& source) {
  std::unique_ptr<ui::PrintDevice> device = services.PrintDialog();
  if (!device) return;
  if (PrintReport(*device, param, source) == E_INVALIDARG)
    services.MessageBox({Translate("Warning"),
                         Translate("Please set printer resolution to 300,600,900,1200 or 2400 dpi!"),
                         ui::Buttons::Ok, ui::Icon::Warning, 0, true});
}

}  // namespace editor

namespace editor {
namespace {

// The host's texts through the device's data object.
class DataPrintSource final : public PrintSource {
 public:
  explicit DataPrintSource(CDX470Data& data) : m_data(data), m_oLog("DX470") {}
  HRESULT HeaderTexts(std::string& project, std::string& product, std::string& description,
                      std::string& address, const std::string& label) override {
    HRESULT hr = m_data.EtsGetHeaderDataForPrinting(project, product, description, address, label);
    if (FAILED(hr)) TRACE_FAILED(m_oLog, "EtsGetHeaderDataForPrinting", hr);
    return hr;
  }
  HRESULT GroupAddresses(int16_t number, std::string& addresses) override {
    std::string name, function, numbers;
    HRESULT hr = m_data.EtsGetGAsToObject(number, name, function, numbers, addresses);
    if (FAILED(hr)) TRACE_FAILED(m_oLog, "EtsGetGAsToObject", hr);
    return hr;
  }

 private:
  CDX470Data& m_data;
  CLogger m_oLog;
};

}  // namespace

void PrintDeviceDocumentation(CDX470Data& data) {
  DataPrintSource source(data);
  PrintDocumentation(ui::Services(), data.Param(), source);
}

}  // namespace editor
