#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>

// Colour values as prize.db stores them: 0x00BBGGRR (blue in bits 16-23, red in 0-7), written as an
// identifier of the named-colour table ("clRed") or as "$" and eight upper-case hexadecimal digits.
namespace ColorText {

using ColorValue = std::uint32_t;

// The identifier when the value is in the named-colour table, else "$" + 8 hex digits.
QString colorToString(ColorValue value);
// An identifier (any letter case) or an integer in decimal or hexadecimal; throws
// OperationError "'<text>' is not a valid integer value" for anything else.
ColorValue stringToColor(const QString& text);

// Conversions to and from the toolkit's colours. System colours (0xFF0000nn) take the matching
// palette colour; clNone and clDefault give an invalid/transparent colour.
QColor toQColor(ColorValue value);
ColorValue fromQColor(const QColor& color);

// "[" + the font's styles in the order fsBold, fsItalic, fsUnderline, fsStrikeOut, joined by "," + "]".
QString fontStyleToString(const QFont& font);
// Sets bold when the text contains "fsBold" and italic when it contains "fsItalic"; nothing else.
void applyFontStyle(const QString& text, QFont& font);

} // namespace ColorText
