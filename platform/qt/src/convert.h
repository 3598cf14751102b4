#pragma once
// Conversions between the core's types and Qt's.
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

// The dialog font: the named face mapped to an installed one.
QFont DialogFont(const std::string& face, int pointSize);
ui::BaseUnits MeasureBaseUnits(const QFont& font);

// A static's text as a label shows it: "&&" becomes "&", a single '&' marks
// the mnemonic and is dropped, unless `noPrefix`.
QString StaticText(const std::string& text, bool noPrefix);

}  // namespace qtui
