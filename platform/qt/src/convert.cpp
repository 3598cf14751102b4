#include "convert.h"

#include <QFontMetrics>
#include <cstring>

#include "qtui/qtui.h"
#include "ui/services.h"

namespace qtui {

QImage ToImage(const gfx::Bitmap& bitmap) {
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.height(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
    const gfx::Color* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.width(); ++x) line[x] = 0xFF000000u | row[x];
  }
  return image;
}

gfx::Bitmap FromImage(const QImage& source) {
  QImage image = source.convertToFormat(QImage::Format_RGB32);
  gfx::Bitmap bitmap(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) bitmap.Set(x, y, line[x] & 0xFFFFFFu);
  }
  return bitmap;
}

std::string MapFontFace(const std::string& face) {
  struct Entry {
    const char* name;
    const char* family;
  };
  static const Entry kMap[] = {
      {"MS Sans Serif", "Liberation Sans"},
      {"MS Shell Dlg", "Liberation Sans"},
      {"Arial", "Liberation Sans"},
      {"Helvetica", "Liberation Sans"},
      {"Courier", "Liberation Mono"},
      {"Courier New", "Liberation Mono"},
      {"Times New Roman", "Liberation Serif"},
  };
  for (const Entry& e : kMap)
    if (QString::compare(Q(face), e.name, Qt::CaseInsensitive) == 0) return e.family;
  return face;
}

QFont DialogFont(const std::string& face, int pointSize) {
  // Sized in pixels of the design screen, so that the text keeps its
  // relation to the dialog units whatever the font resolution is set to.
  QFont font(Q(MapFontFace(face)));
  font.setPixelSize(ui::DesignFontPixels(pointSize));
  return font;
}

QString StaticText(const std::string& text, bool noPrefix) {
  QString in = Q(text);
  if (noPrefix) return in;
  QString out;
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == '&') {
      if (i + 1 < in.size() && in[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += in[i];
  }
  return out;
}

}  // namespace qtui
