// The print device base and the recording device.
#include "ui/print.h"

#include <cstdlib>

namespace ui {

PrintDevice::~PrintDevice() = default;

HRESULT RecordingPrintDevice::StartDocument(const std::string& name) {
  calls_.push_back("doc " + name);
  return S_OK;
}

HRESULT RecordingPrintDevice::StartPage() {
  ++pages_;
  calls_.push_back("page");
  return S_OK;
}

void RecordingPrintDevice::SelectFont(const PrintFont& font) {
  font_ = font;
  calls_.push_back("font " + font.face + " " + std::to_string(font.height) + " " +
                   std::to_string(font.weight) + (font.italic ? " italic" : ""));
}

void RecordingPrintDevice::TextOut(int x, int y, const std::string& text) {
  calls_.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " " + text);
}

void RecordingPrintDevice::Line(int x1, int y1, int x2, int y2) {
  calls_.push_back("line " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
                   std::to_string(y2));
}

int RecordingPrintDevice::TextWidth(const std::string& text) {
  return int(text.size()) * (std::abs(font_.height) / 2);
}

HRESULT RecordingPrintDevice::EndPage() {
  calls_.push_back("endpage");
  return S_OK;
}

HRESULT RecordingPrintDevice::EndDocument() {
  calls_.push_back("enddoc");
  return S_OK;
}

}  // namespace ui
