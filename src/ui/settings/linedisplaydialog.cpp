#include "linedisplaydialog.h"

#include "dialogs.h"
#include "entrantfields.h"
#include "event.h"
#include "operationerror.h"
#include "sheettable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// The lines the positions, examples and suggestions are taken from.
constexpr int kSampleLines = 200;
} // namespace

LineDisplayDialog::LineDisplayDialog(Event& event, QWidget* parent) : QDialog(parent), m_event(event) {
    setObjectName(QStringLiteral("LineDisplayDialog"));
    setWindowTitle(QStringLiteral("现场显示"));

    // The fields of the first lines: how many positions, an example of each, and which hold mobile
    // or ID numbers (a line of one field is a plain list and suggests nothing).
    const EntrantPool& pool = event.model().pool;
    QList<QStringList> values;
    QStringList examples;
    for (int i = 0; i < std::min(pool.count(), kSampleLines); ++i) {
        const QList<QStringView> fields = EntrantFields::split(EntrantPool::trimmed(pool.line(i)));
        if (m_firstLine.isEmpty() && !fields.isEmpty())
            m_firstLine = EntrantPool::trimmed(pool.line(i)).toString();
        for (qsizetype f = 0; f < std::min<qsizetype>(fields.size(), LineDisplay::kMaxPositions); ++f) {
            if (values.size() <= f) {
                values.append(QStringList());
                examples.append(fields.at(f).toString());
            }
            if (fields.size() > 1)
                values[f] << fields.at(f).toString();
        }
    }
    const LineDisplay& display = event.lineDisplay();
    const int rows = std::max({1, int(values.size()), display.positions()});
    const QStringList titles = SheetImport::keptColumnTitles();

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("<b>列</b>"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("<b>例</b>"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("<b>现场显示</b>"), this), 0, 2);
    for (int p = 0; p < rows; ++p) {
        const QString title = titles.value(p);
        grid->addWidget(new QLabel(title.isEmpty() ? QStringLiteral("第 %1 项").arg(p + 1) : title, this),
                        p + 1, 0);
        grid->addWidget(new QLabel(examples.value(p), this), p + 1, 1);
        const QStringList column = values.value(p);
        const LineDisplay::Choice suggested =
            LineDisplay::suggestedFor(QList<QStringView>(column.begin(), column.end()));
        auto* choice = new QComboBox(this);
        choice->setObjectName(QStringLiteral("hallChoice%1").arg(p + 1));
        choice->addItems(LineDisplay::choiceNames());
        choice->setCurrentIndex(static_cast<int>(display.chosen(p).value_or(suggested)));
        connect(choice, &QComboBox::currentIndexChanged, this, &LineDisplayDialog::refresh);
        grid->addWidget(choice, p + 1, 2);
        m_choices << choice;
        m_suggested << suggested;
    }

    auto* note =
        new QLabel(QStringLiteral("舞台上的滚动名单、中奖名单、名字墙、提问框和所有中奖名单窗口按此显示；"
                                  "名单文件、中奖名单文件、导出的表格和操作台总是完整的。"
                                  "没有选择过的列中，手机号和身份证号默认部分隐藏。"),
                   this);
    note->setWordWrap(true);
    m_sample = new QLabel(this);
    m_sample->setObjectName(QStringLiteral("hallSample"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* saveButton = buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    connect(saveButton, &QPushButton::clicked, this, &LineDisplayDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_sample);
    layout->addWidget(note);
    layout->addStretch();
    layout->addWidget(buttons);
    refresh();
}

LineDisplay LineDisplayDialog::lineDisplay() const {
    LineDisplay display = m_event.lineDisplay();
    for (int p = 0; p < m_choices.size(); ++p)
        display.chooseShown(p, static_cast<LineDisplay::Choice>(m_choices.at(p)->currentIndex()),
                            m_suggested.at(p));
    return display;
}

void LineDisplayDialog::refresh() {
    m_sample->setText(m_firstLine.isEmpty()
                          ? QString()
                          : QStringLiteral("第一位在现场显示为：") + lineDisplay().hallText(m_firstLine));
}

void LineDisplayDialog::save() {
    try {
        m_event.setLineDisplay(lineDisplay());
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    accept();
}
