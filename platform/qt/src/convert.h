#pragma once
// Conversions between the core's types and Qt's.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <string>

#include "gfx/bitmap.h"
#include "ui/template.h"

namespace qtui {

inline QString Q(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
inline std::string S(const QString& s) { return s.toUtf8().toStdString(); }

QImage ToImage(const gfx::Bitmap& bitmap);
gfx::Bitmap FromImage(const QImage& image);

// The dialog font: the named face mapped to an installed one, at the pixel
// size the point size has on the design screen.
QFont DialogFont(const std::string& face, int pointSize);

inline gfx::Color FromQColor(const QColor& c) {
  return gfx::Rgb(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

// A static's text as a label shows it: "&&" becomes "&", a single '&' marks
// the mnemonic and is dropped, unless `noPrefix`.
QString StaticText(const std::string& text, bool noPrefix);

}  // namespace qtui
