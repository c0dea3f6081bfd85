#pragma once

#include "linedisplay.h"
#include "sheettable.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class Event;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The preview of a spreadsheet import: the first rows of the sheet, whether the first row holds the
// column titles, which columns make an entrant line and in which order, and how many entrants that
// gives. Accepting it is the operator's confirmation; the dialog itself writes nothing. What it shows
// is bounded whatever the sheet holds: 20 rows, texts cut short, a window no larger than the screen.
class SpreadsheetImportDialog : public QDialog {
    Q_OBJECT
public:
    // The table as read, with the guesses made beside it: whether the first row is a header, and the
    // columns ticked at first.
    SpreadsheetImportDialog(std::shared_ptr<const SheetTable> table, bool header, const QList<int>& columns,
                            const QString& source, QWidget* parent = nullptr);

    bool hasHeader() const;
    // The chosen columns in the chosen order.
    QList<int> columns() const;
    // What the hall sees of the lines: a choice for each chosen column, in the chosen order (a column
    // of mobile or ID numbers is suggested 部分隐藏, any other 显示).
    LineDisplay lineDisplay() const;
    const std::shared_ptr<const SheetTable>& table() const { return m_table; }

    // The settings dialog's "从表格导入...": chooses the file, reads it and makes the preview's guesses
    // on a thread of its own behind a progress dialog that can be cancelled (a bad file gets its error
    // box and nothing changes) and opens the preview over owner. On confirmation the entrant lines are
    // made and written as the import writes them (again off the GUI thread), the view shows the new
    // list, the columns' display choices go to the event (prize.db), reload() reloads the draw
    // screen's pool and, when it succeeds, "资料导入成功！" is shown.
    static void start(QWidget* owner, QPlainTextEdit* view, Event& event, std::function<bool()> reload);

    inline static const QString kFilter = QStringLiteral(
        "表格文件 (*.xlsx *.csv *.txt);;Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv);;文本文件 (*.txt)");
    inline static constexpr int kPreviewRows = 20;
    // The most characters of a cell the preview shows; the rest is in its tooltip, cut there too.
    inline static constexpr int kShownChars = 40;

private:
    void fillPreview();
    void fillColumns(const QList<int>& chosen);
    void retitleColumns();
    void moveColumn(int by);
    void showHallChoice();
    void setHallChoice(int index);
    void refresh();

    std::shared_ptr<const SheetTable> m_table;

    QTableWidget* m_preview = nullptr;
    QCheckBox* m_header = nullptr;
    QListWidget* m_columns = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_sample = nullptr;
    QComboBox* m_hallChoice = nullptr;
    QLabel* m_hallSample = nullptr;
    QLabel* m_gbkNote = nullptr;
    QLabel* m_skipNote = nullptr;
    QPushButton* m_import = nullptr;
};
