#include "spreadsheetimport.h"

#include "apppaths.h"
#include "dialogs.h"
#include "entrantlist.h"
#include "functionunit.h"
#include "operationerror.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

SpreadsheetImportDialog::SpreadsheetImportDialog(SheetTable table, const QString& source, QWidget* parent)
    : QDialog(parent), m_table(std::move(table)) {
    setObjectName(QStringLiteral("SpreadsheetImportDialog"));
    setWindowTitle(QStringLiteral("从表格导入抽奖名单"));
    resize(720, 520);

    auto* sourceLabel = new QLabel(QStringLiteral("文件：") + source, this);
    sourceLabel->setObjectName(QStringLiteral("sourceLabel"));
    sourceLabel->setWordWrap(true);

    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("previewTable"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);

    m_header = new QCheckBox(QStringLiteral("第一行是标题（不作为抽奖人员导入）"), this);
    m_header->setObjectName(QStringLiteral("headerRow"));
    m_header->setChecked(SheetImport::looksLikeHeader(m_table));

    auto* columnsLabel = new QLabel(QStringLiteral("组成抽奖名单的列（勾选，按顺序用空格连接）："), this);
    m_columns = new QListWidget(this);
    m_columns->setObjectName(QStringLiteral("columnList"));
    m_columns->setDragDropMode(QAbstractItemView::InternalMove);
    auto* up = new QPushButton(QStringLiteral("上移"), this);
    up->setObjectName(QStringLiteral("columnUp"));
    auto* down = new QPushButton(QStringLiteral("下移"), this);
    down->setObjectName(QStringLiteral("columnDown"));

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("entrantCount"));
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    m_sample = new QLabel(this);
    m_sample->setObjectName(QStringLiteral("sampleLine"));
    m_gbkNote = new QLabel(this);
    m_gbkNote->setObjectName(QStringLiteral("gbkNote"));
    m_gbkNote->setWordWrap(true);
    auto* target =
        new QLabel(QStringLiteral("导入后将覆盖名单文件：") + AppPaths::file(AppPaths::kEntrants), this);
    target->setWordWrap(true);
    auto* columnsNote = new QLabel(
        QStringLiteral("表格超过 %1 列，右边多出的列没有读入。").arg(SheetTable::kMaxColumns), this);
    columnsNote->setVisible(m_table.columnsCut());

    m_import = new QPushButton(QStringLiteral("导入"), this);
    m_import->setObjectName(QStringLiteral("importButton"));
    m_import->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* columnButtons = new QVBoxLayout;
    columnButtons->addWidget(up);
    columnButtons->addWidget(down);
    columnButtons->addStretch();
    auto* columnRow = new QHBoxLayout;
    columnRow->addWidget(m_columns, 1);
    columnRow->addLayout(columnButtons);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_count, 1);
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourceLabel);
    layout->addWidget(m_preview, 3);
    layout->addWidget(columnsNote);
    layout->addWidget(m_header);
    layout->addWidget(columnsLabel);
    layout->addLayout(columnRow, 2);
    layout->addWidget(m_sample);
    layout->addWidget(m_gbkNote);
    layout->addWidget(target);
    layout->addLayout(buttons);

    fillPreview();
    fillColumns();
    refresh();

    connect(m_header, &QCheckBox::toggled, this, [this] {
        retitleColumns();
        refresh();
    });
    connect(m_columns, &QListWidget::itemChanged, this, &SpreadsheetImportDialog::refresh);
    connect(m_columns->model(), &QAbstractItemModel::rowsMoved, this, &SpreadsheetImportDialog::refresh);
    connect(up, &QPushButton::clicked, this, [this] { moveColumn(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveColumn(+1); });
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool SpreadsheetImportDialog::hasHeader() const {
    return m_header->isChecked();
}

QList<int> SpreadsheetImportDialog::columns() const {
    QList<int> chosen;
    for (int i = 0; i < m_columns->count(); ++i)
        if (m_columns->item(i)->checkState() == Qt::Checked)
            chosen << m_columns->item(i)->data(Qt::UserRole).toInt();
    return chosen;
}

void SpreadsheetImportDialog::fillPreview() {
    const int rows = std::min(m_table.rowCount(), kPreviewRows);
    m_preview->setRowCount(rows);
    m_preview->setColumnCount(m_table.columnCount());
    QStringList letters;
    for (int c = 0; c < m_table.columnCount(); ++c)
        letters << QStringLiteral("第 %1 列").arg(c + 1);
    m_preview->setHorizontalHeaderLabels(letters);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < m_table.columnCount(); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(SheetImport::cellText(m_table.cell(r, c))));
    m_preview->resizeColumnsToContents();
}

void SpreadsheetImportDialog::fillColumns() {
    const QList<int> chosen = SheetImport::defaultColumns(m_table, hasHeader());
    const QSignalBlocker blocker(m_columns);
    for (int c = 0; c < m_table.columnCount(); ++c) {
        auto* item = new QListWidgetItem(m_columns);
        item->setData(Qt::UserRole, c);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                       Qt::ItemIsDragEnabled);
        item->setCheckState(chosen.contains(c) ? Qt::Checked : Qt::Unchecked);
    }
    retitleColumns();
    if (m_columns->count() > 0)
        m_columns->setCurrentRow(0);
}

void SpreadsheetImportDialog::retitleColumns() {
    const QSignalBlocker blocker(m_columns);
    for (int i = 0; i < m_columns->count(); ++i) {
        QListWidgetItem* item = m_columns->item(i);
        const int column = item->data(Qt::UserRole).toInt();
        QString text = SheetImport::columnTitle(m_table, column, hasHeader());
        const QString example = SheetImport::cellText(m_table.cell(hasHeader() ? 1 : 0, column));
        if (!example.isEmpty() && example != text)
            text += QStringLiteral("（例：%1）").arg(example);
        item->setText(text);
    }
}

void SpreadsheetImportDialog::moveColumn(int by) {
    const int row = m_columns->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_columns->count())
        return;
    {
        const QSignalBlocker blocker(m_columns);
        QListWidgetItem* item = m_columns->takeItem(row);
        m_columns->insertItem(to, item);
        m_columns->setCurrentRow(to);
    }
    refresh();
}

void SpreadsheetImportDialog::refresh() {
    m_lines = SheetImport::entrantLines(m_table, columns(), hasHeader());
    m_count->setText(QStringLiteral("共 %1 位抽奖人员").arg(m_lines.size()));
    m_sample->setText(m_lines.isEmpty() ? QStringLiteral("没有可导入的人员：请至少勾选一列。")
                                        : QStringLiteral("第一位：") + m_lines.constFirst());
    const int outside = SheetImport::linesOutsideGbk(m_lines);
    m_gbkNote->setVisible(outside > 0);
    m_gbkNote->setText(QStringLiteral("有 %1 位人员的名单含有 GBK 没有的字，名单文件用 GB18030 保存这些字，"
                                      "不会丢失。")
                           .arg(outside));
    m_import->setEnabled(!m_lines.isEmpty());
}

void SpreadsheetImportDialog::start(QWidget* owner, QPlainTextEdit* view, std::function<bool()> reload) {
    const QString source = Dialogs::instance().openFile(QStringLiteral("从表格导入抽奖名单"), kFilter);
    if (source.isEmpty())
        return;
    SheetTable table;
    try {
        table = SheetImport::readFile(source);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    if (table.rowCount() == 0) {
        Dialogs::showError(QStringLiteral("表格文件“%1”里没有任何内容。").arg(source));
        return;
    }
    auto* dialog = new SpreadsheetImportDialog(std::move(table), source, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::accepted, owner, [dialog, view, reload = std::move(reload)] {
        try {
            EntrantList::writeLines(dialog->lines());
        } catch (const OperationError& error) {
            Dialogs::showError(error.message());
            return;
        }
        if (view)
            view->setPlainText(dialog->lines().join(QStringLiteral("\r\n")));
        if (reload())
            FunctionUnit::information(QStringLiteral("资料导入成功！"));
    });
    dialog->open();
}
