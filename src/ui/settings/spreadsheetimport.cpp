#include "spreadsheetimport.h"

#include "apppaths.h"
#include "dialogs.h"
#include "entrantlist.h"
#include "event.h"
#include "functionunit.h"
#include "operationerror.h"
#include "sheettable.h"
#include "sheettask.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// How long a task runs before its progress is shown: a small file is read without a flash of it.
constexpr int kShowProgressAfterMs = 300;
constexpr int kProgressPollMs = 100;
// The width the file names of the preview are cut to, and the widest column of its table, in pixels.
constexpr int kPathWidth = 680;
constexpr int kColumnWidth = 280;
// What a column of the list holds beside its number: how the hall sees it, and what was suggested.
constexpr int kHallRole = Qt::UserRole + 1;
constexpr int kSuggestedRole = Qt::UserRole + 2;
// The rows a column's suggestion is made from.
constexpr int kSuggestionRows = 200;

// A text cut to at most limit characters, an ellipsis after it when it was longer.
QString cut(QStringView text, qsizetype limit) {
    return text.size() > limit ? text.first(limit).toString() + QStringLiteral("…") : text.toString();
}

// A cell's text as the preview shows it: one line, at most kShownChars characters.
QString shown(QStringView cell) {
    const qsizetype limit = SpreadsheetImportDialog::kShownChars;
    return cut(SheetImport::cellText(cell.first(std::min(cell.size(), limit + 1))), limit);
}

// A path cut in its middle to the preview's width; the whole path in the tooltip.
QLabel* pathLabel(const QString& prefix, const QString& path, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setText(prefix + label->fontMetrics().elidedText(path, Qt::ElideMiddle, kPathWidth));
    label->setToolTip(path);
    return label;
}

// Shown while a task runs, over the window that started it, which it blocks: what is being done,
// how far it has come, and a cancel button when the task may be cancelled. It appears only when the
// task takes longer than a moment, and goes with the task.
class TaskProgress : public QDialog {
public:
    TaskProgress(SheetTask* task, const QString& label, bool cancellable, QWidget* owner)
        : QDialog(owner), m_task(task), m_cancellable(cancellable) {
        setObjectName(QStringLiteral("importProgress"));
        setWindowTitle(QStringLiteral("从表格导入抽奖名单"));
        setWindowModality(Qt::WindowModal);
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       (cancellable ? Qt::WindowCloseButtonHint : Qt::WindowType(0)));
        auto* text = new QLabel(label, this);
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("progressBar"));
        m_bar->setRange(0, 1000);
        m_bar->setMinimumWidth(360);
        auto* layout = new QVBoxLayout(this);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(text);
        layout->addWidget(m_bar);
        if (cancellable) {
            m_cancel = new QPushButton(QStringLiteral("取消"), this);
            m_cancel->setObjectName(QStringLiteral("progressCancel"));
            auto* row = new QHBoxLayout;
            row->addStretch();
            row->addWidget(m_cancel);
            layout->addLayout(row);
            connect(m_cancel, &QPushButton::clicked, this, &TaskProgress::reject);
        }
        m_poll = new QTimer(this);
        connect(m_poll, &QTimer::timeout, this, [this] { m_bar->setValue(m_task->permille()); });
        m_poll->start(kProgressPollMs);
        QTimer::singleShot(kShowProgressAfterMs, this, [this] {
            if (!m_ended && !m_task->wasCancelled())
                show();
        });
    }

    // The task has ended: the progress goes and does not come back (a box of the outcome may hold the
    // loop before this is deleted).
    void end() {
        m_ended = true;
        m_poll->stop();
        hide();
    }

    // Escape and the close box cancel as the button does; a task that cannot be cancelled runs on.
    void reject() override {
        if (!m_cancellable)
            return;
        m_task->cancel();
        hide();
    }

private:
    SheetTask* m_task;
    bool m_cancellable;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer* m_poll = nullptr;
    bool m_ended = false;
};

// Puts the lines into the view a slice at a time, each slice on a turn of the event loop of its own, so
// that a list of 200,000 lines never holds the window for long. It stops when the view is gone or its
// text was replaced meanwhile (the settings loaded again). The view is read-only: its undo keeps nothing.
void fillView(QPlainTextEdit* view, std::shared_ptr<const QStringList> lines) {
    constexpr qsizetype kSlice = 5'000;
    QTextDocument* document = view->document();
    document->setUndoRedoEnabled(false);
    view->clear();
    auto fill = [view = QPointer<QPlainTextEdit>(view), lines, next = qsizetype(0),
                 revision = document->revision()]() mutable {
        if (!view || view->document()->revision() != revision)
            return true;
        QTextCursor cursor(view->document());
        cursor.movePosition(QTextCursor::End);
        const qsizetype end = std::min(lines->size(), next + kSlice);
        cursor.insertText((next > 0 ? QStringLiteral("\r\n") : QString()) +
                          lines->mid(next, end - next).join(QStringLiteral("\r\n")));
        next = end;
        revision = view->document()->revision();
        return next == lines->size();
    };
    if (fill())
        return;
    auto* timer = new QTimer(view);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fill]() mutable {
        if (fill())
            timer->deleteLater();
    });
    timer->start(0);
}

// Runs the task behind its progress over owner. When it ends the progress goes; a failure gets its
// error box, a cancelled task nothing, and a task that got to its end calls done.
void runTask(QWidget* owner, SheetTask* task, const QString& label, bool cancellable,
             std::function<void()> done) {
    auto* progress = new TaskProgress(task, label, cancellable, owner);
    QObject::connect(task, &SheetTask::finished, owner, [task, progress, done = std::move(done)] {
        // Gone from the owner at once: the next import may start before the loop deletes them.
        progress->end();
        progress->setParent(nullptr);
        progress->deleteLater();
        task->setParent(nullptr);
        task->deleteLater();
        if (task->wasCancelled())
            return;
        if (const QString failure = task->failure(); !failure.isEmpty()) {
            Dialogs::showError(failure);
            return;
        }
        done();
    });
    task->start();
}

// Which rows the import leaves out, and why, before the operator confirms it.
QString skipText(const SheetImport::LinesSummary& summary) {
    const auto cells = [](const QStringList& references, int count) {
        return references.join(QStringLiteral("、")) +
               (count > references.size() ? QStringLiteral(" 等") : QString());
    };
    QStringList why;
    if (summary.withoutValue > 0)
        why << QStringLiteral("%1 行的公式没有保存计算结果（%2），请在 Excel 中打开表格、保存后再导入")
                   .arg(summary.withoutValue)
                   .arg(cells(summary.withoutValueCells, summary.withoutValue));
    if (summary.errorValue > 0)
        why << QStringLiteral("%1 行是错误值（%2）")
                   .arg(summary.errorValue)
                   .arg(cells(summary.errorValueCells, summary.errorValue));
    if (summary.blank > 0)
        why << QStringLiteral("%1 行所选的列为空（没有姓名）").arg(summary.blank);
    return QStringLiteral("将跳过 %1 行，不导入：").arg(summary.skipped()) + why.join(QStringLiteral("；")) +
           QStringLiteral("。");
}
} // namespace

SpreadsheetImportDialog::SpreadsheetImportDialog(std::shared_ptr<const SheetTable> table, bool header,
                                                 const QList<int>& columns, const QString& source,
                                                 QWidget* parent)
    : QDialog(parent), m_table(std::move(table)) {
    setObjectName(QStringLiteral("SpreadsheetImportDialog"));
    setWindowTitle(QStringLiteral("从表格导入抽奖名单"));
    resize(720, 520);

    auto* sourceLabel = pathLabel(QStringLiteral("文件："), source, this);
    sourceLabel->setObjectName(QStringLiteral("sourceLabel"));

    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("previewTable"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);
    m_preview->setWordWrap(false);
    m_preview->horizontalHeader()->setMaximumSectionSize(kColumnWidth);

    m_header = new QCheckBox(QStringLiteral("第一行是标题（不作为抽奖人员导入）"), this);
    m_header->setObjectName(QStringLiteral("headerRow"));
    m_header->setChecked(header);

    auto* columnsLabel = new QLabel(QStringLiteral("组成抽奖名单的列（勾选，按顺序用空格连接）："), this);
    m_columns = new QListWidget(this);
    m_columns->setObjectName(QStringLiteral("columnList"));
    m_columns->setDragDropMode(QAbstractItemView::InternalMove);
    auto* up = new QPushButton(QStringLiteral("上移"), this);
    up->setObjectName(QStringLiteral("columnUp"));
    auto* down = new QPushButton(QStringLiteral("下移"), this);
    down->setObjectName(QStringLiteral("columnDown"));
    // How the hall sees the current column on the stage.
    auto* hallLabel = new QLabel(QStringLiteral("现场显示："), this);
    m_hallChoice = new QComboBox(this);
    m_hallChoice->setObjectName(QStringLiteral("hallChoice"));
    m_hallChoice->addItems(LineDisplay::choiceNames());
    m_hallChoice->setToolTip(QStringLiteral("所选列在舞台上（滚动、中奖名单、提问框）怎样显示；"
                                            "名单文件和导出的表格总是完整的。"));

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("entrantCount"));
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    m_sample = new QLabel(this);
    m_sample->setObjectName(QStringLiteral("sampleLine"));
    m_hallSample = new QLabel(this);
    m_hallSample->setObjectName(QStringLiteral("hallSample"));
    m_gbkNote = new QLabel(this);
    m_gbkNote->setObjectName(QStringLiteral("gbkNote"));
    m_gbkNote->setWordWrap(true);
    m_skipNote = new QLabel(this);
    m_skipNote->setObjectName(QStringLiteral("skipNote"));
    m_skipNote->setWordWrap(true);
    auto* target =
        pathLabel(QStringLiteral("导入后将覆盖名单文件："), AppPaths::file(AppPaths::kEntrants), this);
    auto* columnsNote = new QLabel(
        QStringLiteral("表格超过 %1 列，右边多出的列没有读入。").arg(m_table->limits().maxColumns), this);
    columnsNote->setObjectName(QStringLiteral("columnsNote"));
    columnsNote->setVisible(m_table->columnsCut());

    m_import = new QPushButton(QStringLiteral("导入"), this);
    m_import->setObjectName(QStringLiteral("importButton"));
    m_import->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* columnButtons = new QVBoxLayout;
    columnButtons->addWidget(up);
    columnButtons->addWidget(down);
    columnButtons->addSpacing(12);
    columnButtons->addWidget(hallLabel);
    columnButtons->addWidget(m_hallChoice);
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
    layout->addWidget(m_hallSample);
    layout->addWidget(m_gbkNote);
    layout->addWidget(m_skipNote);
    layout->addWidget(target);
    layout->addLayout(buttons);

    fillPreview();
    fillColumns(columns);
    refresh();
    // However wide the sheet, the window fits on the screen; the table scrolls.
    if (const QScreen* screen = parent ? parent->screen() : this->screen())
        setMaximumSize(screen->availableGeometry().size());

    connect(m_header, &QCheckBox::toggled, this, [this] {
        retitleColumns();
        refresh();
    });
    connect(m_columns, &QListWidget::itemChanged, this, &SpreadsheetImportDialog::refresh);
    connect(m_columns->model(), &QAbstractItemModel::rowsMoved, this, &SpreadsheetImportDialog::refresh);
    connect(up, &QPushButton::clicked, this, [this] { moveColumn(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveColumn(+1); });
    connect(m_columns, &QListWidget::currentRowChanged, this, &SpreadsheetImportDialog::showHallChoice);
    connect(m_hallChoice, &QComboBox::activated, this, &SpreadsheetImportDialog::setHallChoice);
    showHallChoice();
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

LineDisplay SpreadsheetImportDialog::lineDisplay() const {
    LineDisplay display;
    int position = 0;
    for (int i = 0; i < m_columns->count(); ++i) {
        const QListWidgetItem* item = m_columns->item(i);
        if (item->checkState() != Qt::Checked)
            continue;
        display.chooseShown(position++, static_cast<LineDisplay::Choice>(item->data(kHallRole).toInt()),
                            static_cast<LineDisplay::Choice>(item->data(kSuggestedRole).toInt()));
    }
    return display;
}

void SpreadsheetImportDialog::showHallChoice() {
    const QListWidgetItem* item = m_columns->currentItem();
    m_hallChoice->setEnabled(item);
    if (item)
        m_hallChoice->setCurrentIndex(item->data(kHallRole).toInt());
}

void SpreadsheetImportDialog::setHallChoice(int index) {
    if (QListWidgetItem* item = m_columns->currentItem()) {
        item->setData(kHallRole, index);
        retitleColumns();
        refresh();
    }
}

void SpreadsheetImportDialog::fillPreview() {
    const int rows = std::min(m_table->rowCount(), kPreviewRows);
    m_preview->setRowCount(rows);
    m_preview->setColumnCount(m_table->columnCount());
    QStringList letters;
    for (int c = 0; c < m_table->columnCount(); ++c)
        letters << QStringLiteral("第 %1 列").arg(c + 1);
    m_preview->setHorizontalHeaderLabels(letters);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < m_table->columnCount(); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(shown(m_table->cellView(r, c))));
    m_preview->resizeColumnsToContents();
}

void SpreadsheetImportDialog::fillColumns(const QList<int>& chosen) {
    const QSignalBlocker blocker(m_columns);
    for (int c = 0; c < m_table->columnCount(); ++c) {
        auto* item = new QListWidgetItem(m_columns);
        item->setData(Qt::UserRole, c);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                       Qt::ItemIsDragEnabled);
        item->setCheckState(chosen.contains(c) ? Qt::Checked : Qt::Unchecked);
        QList<QStringView> values;
        for (int r = 0; r < std::min(m_table->rowCount(), kSuggestionRows); ++r)
            values << m_table->cellView(r, c);
        const int suggested = static_cast<int>(LineDisplay::suggestedFor(values));
        item->setData(kHallRole, suggested);
        item->setData(kSuggestedRole, suggested);
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
        QString text = hasHeader() ? shown(m_table->cellView(0, column)) : QString();
        if (text.isEmpty())
            text = SheetImport::columnTitle(*m_table, column, false);
        const QString example = shown(m_table->cellView(hasHeader() ? 1 : 0, column));
        if (!example.isEmpty() && example != text)
            text += QStringLiteral("（例：%1）").arg(example);
        text +=
            QStringLiteral("　［%1］").arg(LineDisplay::choiceNames().value(item->data(kHallRole).toInt()));
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
    const SheetImport::LinesSummary summary = SheetImport::summarize(*m_table, columns(), hasHeader());
    m_count->setText(QStringLiteral("共 %1 位抽奖人员").arg(summary.count));
    m_sample->setText(summary.count == 0
                          ? QStringLiteral("没有可导入的人员：请至少勾选一列。")
                          : QStringLiteral("第一位：") +
                                m_sample->fontMetrics().elidedText(cut(summary.first, 3 * kShownChars),
                                                                   Qt::ElideRight, kPathWidth - 60));
    m_hallSample->setVisible(summary.count > 0);
    m_hallSample->setText(
        QStringLiteral("现场显示：") +
        m_hallSample->fontMetrics().elidedText(cut(lineDisplay().hallText(summary.first), 3 * kShownChars),
                                               Qt::ElideRight, kPathWidth - 60));
    m_gbkNote->setVisible(summary.outsideGbk > 0);
    m_gbkNote->setText(QStringLiteral("有 %1 位人员的名单含有 GBK 没有的字，名单文件用 GB18030 保存这些字，"
                                      "不会丢失。")
                           .arg(summary.outsideGbk));
    m_skipNote->setVisible(summary.skipped() > 0);
    m_skipNote->setText(skipText(summary));
    m_import->setEnabled(summary.count > 0);
}

void SpreadsheetImportDialog::start(QWidget* owner, QPlainTextEdit* view, Event& event,
                                    std::function<bool()> reload) {
    // One import at a time: a second press while the file is still read does nothing.
    if (owner->findChild<SheetTask*>())
        return;
    const QString source = Dialogs::instance().openFile(QStringLiteral("从表格导入抽奖名单"), kFilter);
    if (source.isEmpty())
        return;

    struct Read {
        std::shared_ptr<SheetTable> table;
        bool header = false;
        QList<int> columns;
    };
    const auto read = std::make_shared<Read>();
    auto* reading = new SheetTask(
        source,
        [source, read](ReadControl& control) {
            read->table =
                std::make_shared<SheetTable>(SheetImport::readFile(source, SheetLimits(), &control));
            read->header = SheetImport::looksLikeHeader(*read->table);
            read->columns = SheetImport::defaultColumns(*read->table, read->header);
        },
        owner);
    runTask(owner, reading, QStringLiteral("正在读取表格…"), true,
            [owner, view, &event, reload, source, read] {
                // The settings were closed meanwhile: the preview is not wanted any more.
                if (!owner->isVisible())
                    return;
                if (read->table->rowCount() == 0) {
                    Dialogs::showError(QStringLiteral("表格文件“%1”里没有任何内容。").arg(source));
                    return;
                }
                auto* dialog =
                    new SpreadsheetImportDialog(read->table, read->header, read->columns, source, owner);
                dialog->setAttribute(Qt::WA_DeleteOnClose);
                QObject::connect(
                    dialog, &QDialog::accepted, owner, [owner, view, &event, reload, source, dialog] {
                        const auto lines = std::make_shared<QStringList>();
                        auto* writing = new SheetTask(
                            source,
                            [lines, table = dialog->table(), columns = dialog->columns(),
                             header = dialog->hasHeader()](ReadControl&) {
                                *lines = SheetImport::entrantLines(*table, columns, header);
                                EntrantList::writeLines(*lines);
                            },
                            owner);
                        runTask(owner, writing, QStringLiteral("正在写入抽奖名单…"), false,
                                [view, &event, reload, lines, display = dialog->lineDisplay(),
                                 titles = SheetImport::chosenTitles(*dialog->table(), dialog->columns(),
                                                                    dialog->hasHeader())] {
                                    if (view)
                                        fillView(view, lines);
                                    // The export heads the winners' columns as the list's columns were
                                    // headed.
                                    try {
                                        SheetImport::keepColumnTitles(titles);
                                    } catch (const OperationError& error) {
                                        Dialogs::showError(error.message());
                                    }
                                    // The list's columns are new: so is what the hall sees of them.
                                    try {
                                        event.setLineDisplay(display);
                                    } catch (const OperationError& error) {
                                        Dialogs::showError(error.message());
                                    }
                                    if (reload())
                                        FunctionUnit::information(QStringLiteral("资料导入成功！"));
                                });
                    });
                dialog->open();
            });
}
