#pragma once

#include "linedisplay.h"

#include <QDialog>
#include <QList>

class Event;
class QComboBox;
class QLabel;

// "现场显示": how the hall sees each field position of the entrant list (显示, 部分隐藏, 隐藏), one row a
// position, named after the imported columns when the list came from a spreadsheet, with an example
// from the list and what the hall then sees of its first line. 保存 keeps the choices in prize.db and
// the stage shows them at once.
class LineDisplayDialog : public QDialog {
    Q_OBJECT
public:
    explicit LineDisplayDialog(Event& event, QWidget* parent = nullptr);

    // The choices as the rows hold them.
    LineDisplay lineDisplay() const;

private:
    void save();
    void refresh();

    Event& m_event;
    QList<QComboBox*> m_choices;
    QList<LineDisplay::Choice> m_suggested;
    QString m_firstLine;
    QLabel* m_sample = nullptr;
};
