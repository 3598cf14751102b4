#pragma once
// A print device: what the print dialog hands back. Coordinates are device
// units (pixels at the device's resolution) from the top left of the page.
#include <memory>
#include <string>
#include <vector>

#include "base/hresult.h"

namespace ui {

// What the print dialog chose: the resolution and where the document goes.
struct PrintSetup {
  int dpi = 300;
  std::string outputPath;  // a PDF file; empty for a system printer
  int pageWidth = 0;       // device units
  int pageHeight = 0;
};

// A font for printing. A negative height is the character height, a
// positive one the cell height, both in device units.
struct PrintFont {
  std::string face;
  int height = 0;
  int weight = 400;
  bool italic = false;
};

class PrintDevice {
 public:
  explicit PrintDevice(PrintSetup setup) : setup_(std::move(setup)) {}
  PrintDevice(const PrintDevice&) = delete;
  PrintDevice& operator=(const PrintDevice&) = delete;
  virtual ~PrintDevice();

  const PrintSetup& Setup() const { return setup_; }
  int Dpi() const { return setup_.dpi; }
  int PageWidth() const { return setup_.pageWidth; }
  int PageHeight() const { return setup_.pageHeight; }

  virtual HRESULT StartDocument(const std::string& name) = 0;
  virtual HRESULT StartPage() = 0;
  virtual void SelectFont(const PrintFont& font) = 0;
  // Draws `text` (UTF-8) with its top left corner at (x, y).
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  virtual HRESULT EndPage() = 0;
  // Finishes the document; a PDF file appears only now and only whole.
  virtual HRESULT EndDocument() = 0;

 private:
  PrintSetup setup_;
};

// Records what is printed, one line per call ("doc NAME", "page",
// "font FACE HEIGHT WEIGHT [italic]", "text X Y TEXT", "line X1 Y1 X2 Y2",
// "endpage", "enddoc"). Used where no toolkit can draw, and by tests.
class RecordingPrintDevice : public PrintDevice {
 public:
  using PrintDevice::PrintDevice;
  HRESULT StartDocument(const std::string& name) override;
  HRESULT StartPage() override;
  void SelectFont(const PrintFont& font) override;
  void TextOut(int x, int y, const std::string& text) override;
  void Line(int x1, int y1, int x2, int y2) override;
  // Half the font height per character: a fixed, predictable measure.
  int TextWidth(const std::string& text) override;
  HRESULT EndPage() override;
  HRESULT EndDocument() override;

  const std::vector<std::string>& Calls() const { return calls_; }
  int Pages() const { return pages_; }

 private:
  std::vector<std::string> calls_;
  PrintFont font_;
  int pages_ = 0;
};

}  // namespace ui
