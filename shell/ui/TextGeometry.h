#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>

// The size a text needs in a box of a given width and height, word-wrapped
// in a font. The empty text needs nothing; a trailing line break adds no
// line.
namespace textgeometry {

inline constexpr double kUnlimited = 3.4028235e38;

QSizeF sizeForWidth(const QString& text, double width, double height, const QFont& font);
double heightForWidth(const QString& text, double width, const QFont& font);
double widthForHeight(const QString& text, double height, const QFont& font);

} // namespace textgeometry
