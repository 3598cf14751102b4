#pragma once
// Printing with Qt: onto the printer chosen in the print dialog, or into a
// PDF file. PDF output goes to a temporary file that replaces the target
// only when the document is complete.
#include <QPainter>
#include <QPrinter>
#include <memory>

#include "ui/print.h"

namespace qtui {

class QtPrintDevice : public ui::PrintDevice {
 public:
  // Prints on `printer` as the print dialog left it.
  static std::unique_ptr<QtPrintDevice> ForPrinter(std::unique_ptr<QPrinter> printer);
  // Prints an A4 PDF at setup.dpi into setup.outputPath.
  static std::unique_ptr<ui::PrintDevice> ForPdf(const ui::PrintSetup& setup);
  QtPrintDevice(ui::PrintSetup setup, std::unique_ptr<QPrinter> printer, QString tempPath);
  ~QtPrintDevice() override;

  HRESULT StartDocument(const std::string& name) override;
  HRESULT StartPage() override;
  void SelectFont(const ui::PrintFont& font) override;
  void TextOut(int x, int y, const std::string& text) override;
  void Line(int x1, int y1, int x2, int y2) override;
  int TextWidth(const std::string& text) override;
  HRESULT EndPage() override;
  HRESULT EndDocument() override;

 private:
  void Abandon();

  std::unique_ptr<QPrinter> printer_;
  QString tempPath_;  // PDF being written; empty for a system printer
  QPainter painter_;
  bool pageOpen_ = false;
  int pages_ = 0;
};

}  // namespace qtui
