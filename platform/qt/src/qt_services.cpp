// Platform services shown with Qt widgets.
#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontMetrics>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <cstdlib>

#include "convert.h"
#include "dialog_view.h"
#include "gfx/png.h"
#include "print_device.h"
#include "qtui/qtui.h"
#include "ui/script.h"
#include "window_system.h"

namespace qtui {

namespace {

QMessageBox::StandardButton ToQt(int answer) {
  switch (answer) {
    case ui::IDOK: return QMessageBox::Ok;
    case ui::IDCANCEL: return QMessageBox::Cancel;
    case ui::IDYES: return QMessageBox::Yes;
    case ui::IDNO: return QMessageBox::No;
  }
  return QMessageBox::NoButton;
}

// "desc|*.a;*.b|desc|*.*||" as Qt name filters "desc (*.a *.A *.b *.B)".
QStringList NameFilters(const std::string& filter) {
  QStringList parts = Q(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
    QString desc = parts[i];
    qsizetype paren = desc.lastIndexOf('(');
    if (paren > 0) desc = desc.left(paren).trimmed();
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns << p.trimmed();
      if (p.trimmed().toLower() != p.trimmed()) patterns << p.trimmed().toLower();
      if (p.trimmed().toUpper() != p.trimmed()) patterns << p.trimmed().toUpper();
    }
    patterns.removeDuplicates();
    out << desc + " (" + patterns.join(' ') + ")";
  }
  return out;
}

// The help viewer: a top-level window of its own that no modal dialog
// blocks (dialogs are modal to their parents only), raised above them.
class HelpWindow {
 public:
  static void Show(const std::string& file, int context) {
    static QPointer<QTextBrowser> browser;
    if (!browser) {
      // Deleted by Qt when the user closes it.
      browser = new QTextBrowser();
      browser->setAttribute(Qt::WA_DeleteOnClose);
      browser->setOpenLinks(true);
      browser->resize(640, 480);
    }
    browser->setWindowTitle(Q(ui::PlatformText("Help")));
    QFileInfo info(Q(file));
    if (!info.exists()) {
      browser->setHtml("<p>" + Q(ui::PlatformText("The help file was not found:")).toHtmlEscaped() + " " +
                       Q(file).toHtmlEscaped() + "</p>");
    } else {
      QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
      url.setFragment(QString::number(context));
      browser->setSource(url, QTextDocument::HtmlResource);
    }
    browser->show();
    // Wholly on the screen, wherever the window system put it.
    if (QScreen* screen = browser->screen()) {
      QRect area = screen->availableGeometry(), frame = browser->frameGeometry();
      QPoint to(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())),
                std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
      if (to != frame.topLeft()) browser->move(to);
    }
    browser->raise();
    browser->activateWindow();
  }
};

class QtServices final : public ui::PlatformServices {
 public:
  int RunModal(ui::Dialog& dialog) override {
    if (!EnsureApplication()) return ui::IDCANCEL;
    DialogView view(dialog, QApplication::activeModalWidget());
    // Modal to the dialogs it was opened from, not to the whole application:
    // the help viewer stays usable beside it.
    view.setWindowModality(Qt::WindowModal);
    if (!dialog.WindowPosition()) {
      QWidget* parent = view.parentWidget();
      QRect area =
          parent ? parent->frameGeometry()
                 : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                     : QRect(0, 0, 1280, 1024));
      view.move(area.center() - view.rect().center());
    }
    view.exec();
    return dialog.HasEnded() ? dialog.Result() : ui::IDCANCEL;
  }

  int MessageBox(const ui::MessageBoxSpec& desc) override {
    if (!EnsureApplication()) return ui::DefaultAnswer(desc.buttons, desc.defaultButton);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (desc.icon) {
      case ui::Icon::Stop: icon = QMessageBox::Critical; break;
      case ui::Icon::Warning: icon = QMessageBox::Warning; break;
      case ui::Icon::Question: icon = QMessageBox::Question; break;
      case ui::Icon::Information: icon = QMessageBox::Information; break;
      case ui::Icon::None: break;
    }
    QMessageBox::StandardButtons buttons;
    switch (desc.buttons) {
      case ui::Buttons::Ok: buttons = QMessageBox::Ok; break;
      case ui::Buttons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
      case ui::Buttons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
      case ui::Buttons::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    QMessageBox box(icon, Q(desc.caption), Q(desc.text), buttons, QApplication::activeModalWidget());
    static const struct {
      QMessageBox::StandardButton button;
      const char* key;
    } kButtonTexts[] = {{QMessageBox::Ok, "OK"},
                        {QMessageBox::Cancel, "Cancel"},
                        {QMessageBox::Yes, "&Yes"},
                        {QMessageBox::No, "&No"}};
    for (const auto& b : kButtonTexts)
      if (QAbstractButton* button = box.button(b.button)) button->setText(Q(ui::PlatformText(b.key)));
    int fallback = ui::DefaultAnswer(desc.buttons, desc.defaultButton);
    box.setDefaultButton(ToQt(fallback));
    // Task-modal boxes block the whole application, which Qt's modal boxes do anyway.
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
      case QMessageBox::Ok: return ui::IDOK;
      case QMessageBox::Cancel: return ui::IDCANCEL;
      case QMessageBox::Yes: return ui::IDYES;
      case QMessageBox::No: return ui::IDNO;
      default: return desc.buttons == ui::Buttons::YesNo ? ui::IDNO : ui::IDCANCEL;
    }
  }

  std::optional<std::string> FileDialog(const ui::FileDialogSpec& desc) override {
    if (!EnsureApplication()) return {};
    QFileDialog dialog(QApplication::activeModalWidget(), Q(desc.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(desc.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!desc.save && (desc.flags & ui::kFileMustExist) ? QFileDialog::ExistingFile
                                                                       : QFileDialog::AnyFile);
    if (!(desc.flags & ui::kOverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!desc.filter.empty()) dialog.setNameFilters(NameFilters(desc.filter));
    if (!desc.defaultExtension.empty()) dialog.setDefaultSuffix(Q(desc.defaultExtension));
    if (!desc.initialPath.empty() && desc.initialPath.find('*') == std::string::npos) {
      QFileInfo info(Q(desc.initialPath));
      dialog.setDirectory(info.absolutePath());
      dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return S(dialog.selectedFiles().first());
  }

  std::optional<ui::FontChoice> FontDialog() override {
    if (!EnsureApplication()) return {};
    bool ok = false;
    QFont font = QFontDialog::getFont(&ok, QApplication::font(), QApplication::activeModalWidget(), QString(),
                                      QFontDialog::DontUseNativeDialog);
    if (!ok) return {};
    return ui::FontChoice{S(font.family()), font.pointSize(), font.italic()};
  }

  std::unique_ptr<ui::PrintDevice> PrintDialog() override {
    if (!EnsureApplication()) return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setResolution(600);
    printer->setOutputFileName(QDir::home().filePath("Print-Doc.pdf"));
    QPrintDialog dialog(printer.get(), QApplication::activeModalWidget());
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return QtPrintDevice::ForPrinter(std::move(printer));
  }

  void ShowHelp(const std::string& helpFile, int context) override {
    if (EnsureApplication()) HelpWindow::Show(helpFile, context);
  }

  void OpenUrl(const std::string& url) override {
    if (EnsureApplication()) QDesktopServices::openUrl(QUrl(Q(url)));
  }

  void SetWaitCursor(bool on) override {
    if (!EnsureApplication()) return;
    if (on) {
      if (waitDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waitDepth_ > 0 && --waitDepth_ == 0) {
      QApplication::restoreOverrideCursor();
    }
  }

  int ScreenWidth() override { return ScreenArea().width(); }
  int ScreenHeight() override { return ScreenArea().height(); }

  ui::FrameMargins WindowFrame(bool withMenu) override {
    if (!EnsureApplication()) return PlatformServices::WindowFrame(withMenu);
    return EstimatedFrame(withMenu);
  }

  ui::SystemColors Colors() override { return PaletteColors(); }

  std::optional<ui::RasterGlyph> RasterizeChar(const ui::FontChoice& font, int pixelHeight,
                                               uint32_t code) override;

 private:
  static QRect ScreenArea() {
    QScreen* screen = EnsureApplication() ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? screen->geometry() : QRect(0, 0, 1280, 1024);
  }
  int waitDepth_ = 0;
};

std::optional<ui::RasterGlyph> Rasterize(const ui::FontChoice& choice, int pixelHeight, uint32_t code) {
  if (!EnsureApplication(true) || pixelHeight <= 0 || code == 0 || code > 0x10FFFF) return {};
  QFont font(Q(MapFontFace(choice.face)));
  font.setPixelSize(pixelHeight);
  font.setItalic(choice.italic);
  font.setWeight(QFont::Weight(std::clamp(choice.weight, 100, 900)));
  font.setStyleStrategy(QFont::NoAntialias);
  QFontMetrics metrics(font);
  char32_t c = char32_t(code);
  QString text = QString::fromUcs4(&c, 1);
  int width = metrics.horizontalAdvance(text);
  int height = metrics.height();
  if (width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(0, metrics.ascent(), text);
  }
  return ui::RasterGlyph{FromImage(image)};
}

std::optional<ui::RasterGlyph> QtServices::RasterizeChar(const ui::FontChoice& font, int pixelHeight,
                                                         uint32_t code) {
  return Rasterize(font, pixelHeight, code);
}

}  // namespace

bool EnsureApplication(bool offscreen, std::string* problem) {
  if (auto* existing = QCoreApplication::instance()) return qobject_cast<QApplication*>(existing) != nullptr;
  // Creating the application on a window system that cannot be reached
  // would abort the process: look first.
  if (!offscreen) {
    std::string why = WindowSystemProblem();
    if (!why.empty()) {
      if (problem) *problem = why;
      return false;
    }
  }
  static char name[] = "dx47x";
  static char platformOption[] = "-platform";
  static char offscreenName[] = "offscreen";
  static char* argv[] = {name, platformOption, offscreenName, nullptr};
  static int argc = offscreen ? 3 : 1;
  // Lives until the process ends: Qt cannot destroy its application object
  // once main has returned, so it is deliberately never deleted.
  static QApplication* app = new QApplication(argc, argv);
  return app != nullptr;
}

std::unique_ptr<ui::PlatformServices> MakeQtServices() { return std::make_unique<QtServices>(); }

gfx::Bitmap RenderDialog(ui::Dialog& dialog) {
  if (!EnsureApplication(true)) return {};
  DialogView view(dialog, nullptr, true);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.show();
  QCoreApplication::processEvents();
  gfx::Bitmap bitmap = FromImage(view.grab().toImage());
  view.hide();
  return bitmap;
}

HRESULT SaveScreenshot(ui::Dialog& dialog, const std::string& pngPath) {
  gfx::Bitmap bitmap = RenderDialog(dialog);
  if (bitmap.empty()) return E_FAIL;
  return gfx::SavePng(bitmap, pngPath);
}

ServiceSelection SelectServices(const std::string& script, std::ostream& report) {
  ServiceSelection selection;
  if (!script.empty()) {
    auto scripted = ui::MakeScriptedServices(script, report);
    selection.script = scripted.get();
    selection.services = std::move(scripted);
    RegisterRenderHooks();
  } else {
    selection.services = MakeQtServices();
  }
  return selection;
}

void RegisterRenderHooks() {
  ui::SetRenderHooks({SaveScreenshot, Rasterize, QtPrintDevice::ForPdf,
                      [] { return EnsureApplication(true) ? PaletteColors() : ui::ClassicColors(); }});
}

}  // namespace qtui
