#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QPlainTextEdit;

// The operation tips that greet the operator at start-up until they are switched off.
class TFmainhelp : public QWidget {
    Q_OBJECT
public:
    explicit TFmainhelp(QWidget* parent = nullptr);

    // The tips text for the program's folder (ending in a path separator).
    static QStringList tipsLines(const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CheckBox1Click();

    QPlainTextEdit* Memo1 = nullptr;
    QWidget* Panel1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
};
