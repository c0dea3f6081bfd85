#include "findwindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindWindow::FindWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("查找"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("查找内容："), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("findText"));
    label->setBuddy(m_text);
    m_matchCase = new QCheckBox(QStringLiteral("区分大小写"), this);
    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_wholeWord = new QCheckBox(QStringLiteral("全字匹配"), this);
    m_wholeWord->setObjectName(QStringLiteral("wholeWord"));
    m_findNext = new QPushButton(QStringLiteral("查找下一个"), this);
    m_findNext->setObjectName(QStringLiteral("findNext"));
    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("findCancel"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_text, 0, 1);
    layout->addWidget(m_findNext, 0, 2);
    layout->addWidget(m_wholeWord, 1, 0, 1, 2);
    layout->addWidget(cancel, 1, 2);
    layout->addWidget(m_matchCase, 2, 0, 1, 2);

    connect(m_text, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this, [this] {
        if (!text().isEmpty())
            Q_EMIT findRequested(text(), matchCase(), wholeWord());
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString FindWindow::text() const {
    return m_text->text();
}

bool FindWindow::matchCase() const {
    return m_matchCase->isChecked();
}

bool FindWindow::wholeWord() const {
    return m_wholeWord->isChecked();
}
