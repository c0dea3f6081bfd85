#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The non-modal find window of the all-winners list: a search text, "区分大小写", "全字匹配" and a
// find-next button. It always searches downwards, from the end of the list's selection; it stays open
// so that each press finds the next occurrence.
class FindWindow : public QDialog {
    Q_OBJECT
public:
    explicit FindWindow(QWidget* parent = nullptr);

    QString text() const;
    bool matchCase() const;
    bool wholeWord() const;

Q_SIGNALS:
    // The find-next button was pressed with a non-empty search text.
    void findRequested(const QString& text, bool matchCase, bool wholeWord);

private:
    QLineEdit* m_text = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QPushButton* m_findNext = nullptr;
};
