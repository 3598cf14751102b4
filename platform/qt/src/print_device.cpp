#include "print_device.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <filesystem>

#include "convert.h"
#include "qtui/qtui.h"

namespace qtui {

namespace {

ui::PrintSetup SetupOf(QPrinter& printer, const std::string& outputPath) {
  QRect page = printer.pageLayout().fullRectPixels(printer.resolution());
  return {printer.resolution(), outputPath, page.width(), page.height()};
}

QString TempPathFor(const QString& path) { return path + QStringLiteral(".part"); }

}  // namespace

QtPrintDevice::QtPrintDevice(ui::PrintSetup setup, std::unique_ptr<QPrinter> printer, QString tempPath)
    : PrintDevice(std::move(setup)), printer_(std::move(printer)), tempPath_(std::move(tempPath)) {}

QtPrintDevice::~QtPrintDevice() { Abandon(); }

std::unique_ptr<QtPrintDevice> QtPrintDevice::ForPrinter(std::unique_ptr<QPrinter> printer) {
  printer->setFullPage(true);
  QString target = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
  QString temp;
  if (!target.isEmpty()) {
    temp = TempPathFor(target);
    printer->setOutputFileName(temp);
  }
  ui::PrintSetup setup = SetupOf(*printer, S(target));
  return std::make_unique<QtPrintDevice>(setup, std::move(printer), temp);
}

std::unique_ptr<ui::PrintDevice> QtPrintDevice::ForPdf(const ui::PrintSetup& requested) {
  if (!EnsureApplication(true) || requested.dpi <= 0 || requested.outputPath.empty()) return nullptr;
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setPageSize(QPageSize(QPageSize::A4));
  printer->setPageMargins(QMarginsF(0, 0, 0, 0));
  printer->setResolution(requested.dpi);
  printer->setOutputFileName(Q(requested.outputPath));
  return ForPrinter(std::move(printer));
}

HRESULT QtPrintDevice::StartDocument(const std::string& name) {
  if (painter_.isActive()) return E_UNEXPECTED;
  printer_->setDocName(Q(name));
  if (!painter_.begin(printer_.get())) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  painter_.setPen(QPen(Qt::black, 1));
  return S_OK;
}

HRESULT QtPrintDevice::StartPage() {
  if (!painter_.isActive()) return E_UNEXPECTED;
  // The first page exists once the painter is active; later pages are added.
  if (pages_ > 0 && !printer_->newPage()) return E_FAIL;
  ++pages_;
  pageOpen_ = true;
  return S_OK;
}

void QtPrintDevice::SelectFont(const ui::PrintFont& font) {
  if (!painter_.isActive()) return;
  QFont f(Q(MapFontFace(font.face)));
  int height = font.height < 0 ? -font.height : font.height * 4 / 5;  // a cell is about 5/4 of the character
  f.setPixelSize(std::max(1, height));
  f.setWeight(QFont::Weight(std::clamp(font.weight, 100, 900)));
  f.setItalic(font.italic);
  painter_.setFont(f);
}

void QtPrintDevice::TextOut(int x, int y, const std::string& text) {
  if (!painter_.isActive()) return;
  QFontMetrics metrics(painter_.font(), printer_.get());
  painter_.drawText(x, y + metrics.ascent(), Q(text));
}

void QtPrintDevice::Line(int x1, int y1, int x2, int y2) {
  if (painter_.isActive()) painter_.drawLine(x1, y1, x2, y2);
}

int QtPrintDevice::TextWidth(const std::string& text) {
  if (!painter_.isActive()) return 0;
  return QFontMetrics(painter_.font(), printer_.get()).horizontalAdvance(Q(text));
}

HRESULT QtPrintDevice::EndPage() {
  if (!pageOpen_) return E_UNEXPECTED;
  pageOpen_ = false;
  return S_OK;
}

HRESULT QtPrintDevice::EndDocument() {
  if (!painter_.isActive()) return E_UNEXPECTED;
  if (!painter_.end()) {
    Abandon();
    return E_FAIL;
  }
  if (tempPath_.isEmpty()) return S_OK;
  std::error_code error;
  std::filesystem::rename(S(tempPath_), Setup().outputPath, error);
  if (error) {
    Abandon();
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
  tempPath_.clear();
  return S_OK;
}

void QtPrintDevice::Abandon() {
  if (painter_.isActive()) painter_.end();
  if (!tempPath_.isEmpty()) {
    QFile::remove(tempPath_);
    tempPath_.clear();
  }
}

}  // namespace qtui
