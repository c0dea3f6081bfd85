#pragma once

#include "sheettable.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The preview of a spreadsheet import: the first rows of the sheet, whether the first row holds the
// column titles, which columns make an entrant line and in which order, and how many entrants that
// gives. Accepting it is the operator's confirmation; the dialog itself writes nothing.
class SpreadsheetImportDialog : public QDialog {
    Q_OBJECT
public:
    SpreadsheetImportDialog(SheetTable table, const QString& source, QWidget* parent = nullptr);

    // The entrant lines for the current choice.
    const QStringList& lines() const { return m_lines; }
    bool hasHeader() const;
    // The chosen columns in the chosen order.
    QList<int> columns() const;

    // The settings dialog's "从表格导入...": chooses the file, reads it (a bad file gets its error
    // box and nothing changes) and opens the preview over owner. On confirmation the entrant list is
    // written as the import writes it, the view shows the new list, reload() reloads the draw
    // screen's pool and, when it succeeds, "资料导入成功！" is shown.
    static void start(QWidget* owner, QPlainTextEdit* view, std::function<bool()> reload);

    inline static const QString kFilter = QStringLiteral(
        "表格文件 (*.xlsx *.csv *.txt);;Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv);;文本文件 (*.txt)");
    inline static constexpr int kPreviewRows = 20;

private:
    void fillPreview();
    void fillColumns();
    void retitleColumns();
    void moveColumn(int by);
    void refresh();

    SheetTable m_table;
    QStringList m_lines;

    QTableWidget* m_preview = nullptr;
    QCheckBox* m_header = nullptr;
    QListWidget* m_columns = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_sample = nullptr;
    QLabel* m_gbkNote = nullptr;
    QPushButton* m_import = nullptr;
};
