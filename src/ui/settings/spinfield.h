#pragma once

#include <QSpinBox>

// An integer field with up and down arrows that step by 1. Typing accepts only digits, "+", "-" and
// the decimal separator; text that is not an integer stands for the lower bound (0 for a field without
// bounds). A bounded field clamps its value when the program sets it and when it loses the focus
// (interpretText does the same on demand).
class SpinField : public QSpinBox {
    Q_OBJECT
public:
    // A field that takes any integer, negative ones included.
    explicit SpinField(QWidget* parent = nullptr);
    // A field bounded to minimum .. maximum.
    SpinField(int minimum, int maximum, QWidget* parent = nullptr);

    bool isBounded() const { return m_bounded; }
    // The value a typed text stands for in this field.
    int valueForText(QStringView text) const;

    // Whether text holds only characters the field lets the operator type.
    static bool typeable(QStringView text, QChar decimalPoint);

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;

private:
    bool m_bounded;
};
