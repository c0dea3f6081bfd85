#include "spinfield.h"

#include <algorithm>
#include <limits>

SpinField::SpinField(QWidget* parent) : QSpinBox(parent), m_bounded(false) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setValue(0);
}

SpinField::SpinField(int minimum, int maximum, QWidget* parent) : QSpinBox(parent), m_bounded(true) {
    setRange(minimum, maximum);
    setValue(minimum);
}

bool SpinField::typeable(QStringView text, QChar decimalPoint) {
    for (const QChar c : text) {
        const bool digit = c >= u'0' && c <= u'9';
        if (!digit && c != u'+' && c != u'-' && c != decimalPoint)
            return false;
    }
    return true;
}

int SpinField::valueForText(QStringView text) const {
    bool ok = false;
    // Only ASCII digits with at most one leading sign make an integer; "1.5", "-", "" and values
    // beyond the int range do not.
    const int parsed = text.toInt(&ok, 10);
    if (!ok)
        return m_bounded ? minimum() : 0;
    return std::clamp(parsed, minimum(), maximum());
}

QValidator::State SpinField::validate(QString& text, int& pos) const {
    Q_UNUSED(pos);
    return typeable(text, locale().decimalPoint().front()) ? QValidator::Acceptable : QValidator::Invalid;
}

int SpinField::valueFromText(const QString& text) const {
    return valueForText(text);
}
