#include "colortext.h"

#include "configstore.h"
#include "operationerror.h"

#include <QGuiApplication>
#include <QPalette>
#include <QStringList>

#include <array>

namespace {

using ColorText::ColorValue;

constexpr ColorValue kNone = 0x1FFFFFFF;
constexpr ColorValue kDefault = 0x20000000;
constexpr ColorValue kSystem = 0xFF000000;

struct NamedColor {
    ColorValue value;
    const char* name;
};

constexpr std::array<NamedColor, 52> kNamedColors = {{
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {0xC0DCC0, "clMoneyGreen"},
    {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},
    {kNone, "clNone"},
    {kDefault, "clDefault"},
    {kSystem + 0, "clScrollBar"},
    {kSystem + 1, "clBackground"},
    {kSystem + 2, "clActiveCaption"},
    {kSystem + 3, "clInactiveCaption"},
    {kSystem + 4, "clMenu"},
    {kSystem + 5, "clWindow"},
    {kSystem + 6, "clWindowFrame"},
    {kSystem + 7, "clMenuText"},
    {kSystem + 8, "clWindowText"},
    {kSystem + 9, "clCaptionText"},
    {kSystem + 10, "clActiveBorder"},
    {kSystem + 11, "clInactiveBorder"},
    {kSystem + 12, "clAppWorkSpace"},
    {kSystem + 13, "clHighlight"},
    {kSystem + 14, "clHighlightText"},
    {kSystem + 15, "clBtnFace"},
    {kSystem + 16, "clBtnShadow"},
    {kSystem + 17, "clGrayText"},
    {kSystem + 18, "clBtnText"},
    {kSystem + 19, "clInactiveCaptionText"},
    {kSystem + 20, "clBtnHighlight"},
    {kSystem + 21, "cl3DDkShadow"},
    {kSystem + 22, "cl3DLight"},
    {kSystem + 23, "clInfoText"},
    {kSystem + 24, "clInfoBk"},
    {kSystem + 26, "clHotLight"},
    {kSystem + 27, "clGradientActiveCaption"},
    {kSystem + 28, "clGradientInactiveCaption"},
    {kSystem + 29, "clMenuHighlight"},
    {kSystem + 30, "clMenuBar"},
}};

struct PaletteColor {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette colour that plays the part of each system colour index.
PaletteColor paletteColorFor(unsigned index) {
    using P = QPalette;
    switch (index) {
    case 0:
        return {P::Active, P::Button}; // scroll bar
    case 1:
        return {P::Active, P::Window}; // desktop
    case 2:
        return {P::Active, P::Highlight}; // active caption
    case 3:
        return {P::Inactive, P::Mid}; // inactive caption
    case 4:
        return {P::Active, P::Window}; // menu
    case 5:
        return {P::Active, P::Base}; // window
    case 6:
        return {P::Active, P::Shadow}; // window frame
    case 7:
        return {P::Active, P::WindowText}; // menu text
    case 8:
        return {P::Active, P::Text}; // window text
    case 9:
        return {P::Active, P::HighlightedText}; // caption text
    case 10:
        return {P::Active, P::Window}; // active border
    case 11:
        return {P::Inactive, P::Window}; // inactive border
    case 12:
        return {P::Active, P::Dark}; // application workspace
    case 13:
        return {P::Active, P::Highlight}; // highlight
    case 14:
        return {P::Active, P::HighlightedText}; // highlight text
    case 15:
        return {P::Active, P::Button}; // button face
    case 16:
        return {P::Active, P::Dark}; // button shadow
    case 17:
        return {P::Disabled, P::Text}; // grey text
    case 18:
        return {P::Active, P::ButtonText}; // button text
    case 19:
        return {P::Disabled, P::WindowText}; // inactive caption text
    case 20:
        return {P::Active, P::Light}; // button highlight
    case 21:
        return {P::Active, P::Shadow}; // 3-D dark shadow
    case 22:
        return {P::Active, P::Midlight}; // 3-D light
    case 23:
        return {P::Active, P::ToolTipText}; // info text
    case 24:
        return {P::Active, P::ToolTipBase}; // info background
    case 26:
        return {P::Active, P::Link}; // hot-tracked item
    case 27:
        return {P::Active, P::Highlight}; // gradient active caption
    case 28:
        return {P::Inactive, P::Mid}; // gradient inactive caption
    case 29:
        return {P::Active, P::Highlight}; // menu highlight
    default:
        return {P::Active, P::Window}; // menu bar and anything unknown
    }
}

} // namespace

namespace ColorText {

QString colorToString(ColorValue value) {
    for (const NamedColor& named : kNamedColors) {
        if (named.value == value)
            return QString::fromLatin1(named.name);
    }
    return QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

ColorValue stringToColor(const QString& text) {
    for (const NamedColor& named : kNamedColors) {
        if (text.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return named.value;
    }
    int value = 0;
    if (!ConfigStore::parseInteger(text, &value))
        throw OperationError::notAnInteger(text);
    return static_cast<ColorValue>(value);
}

QColor toQColor(ColorValue value) {
    if (value == kNone || value == kDefault)
        return QColor(Qt::transparent);
    if ((value & 0xFF000000u) == kSystem) {
        const PaletteColor which = paletteColorFor(value & 0xFFu);
        const QPalette palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                     ? QGuiApplication::palette()
                                     : QPalette(Qt::lightGray);
        return palette.color(which.group, which.role);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

ColorValue fromQColor(const QColor& color) {
    if (!color.isValid() || color.alpha() == 0)
        return kNone;
    const QColor rgb = color.toRgb();
    return ColorValue(rgb.red()) | ColorValue(rgb.green()) << 8 | ColorValue(rgb.blue()) << 16;
}

QString fontStyleToString(const QFont& font) {
    QStringList styles;
    if (font.bold())
        styles << QStringLiteral("fsBold");
    if (font.italic())
        styles << QStringLiteral("fsItalic");
    if (font.underline())
        styles << QStringLiteral("fsUnderline");
    if (font.strikeOut())
        styles << QStringLiteral("fsStrikeOut");
    return u'[' + styles.join(u',') + u']';
}

void applyFontStyle(const QString& text, QFont& font) {
    // Only bold and italic are taken back from the stored text; the list font never comes back
    // underlined or struck out.
    font.setBold(text.contains(QLatin1String("fsBold")));
    font.setItalic(text.contains(QLatin1String("fsItalic")));
    font.setUnderline(false);
    font.setStrikeOut(false);
}

} // namespace ColorText
