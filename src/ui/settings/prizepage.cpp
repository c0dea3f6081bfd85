#include "prizepage.h"

#include "configstore.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace PrizePage {

QLabel* help(QWidget* page, const QString& text) {
    auto* label = new QLabel(text, page);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #444;"));
    return label;
}

QPushButton* layOut(QWidget* page, QLabel* help, QGridLayout* grid, QWidget* note, const QString& saveName,
                    std::function<void()> save) {
    auto* button = new QPushButton(QStringLiteral("保存设置"), page);
    button->setObjectName(saveName);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, page, std::move(save));
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(note, 1);
    saveRow->addWidget(button, 0, Qt::AlignBottom);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(help);
    column->addLayout(grid);
    column->addStretch();
    column->addLayout(saveRow);
    return button;
}

QStringList names(const ConfigStore& store, int slots) {
    QStringList out;
    for (int slot = 0; slot < slots; ++slot)
        out << store.readString(QStringLiteral("JP"), QStringLiteral("Name%1").arg(slot + 1), QString());
    return out;
}

QList<bool> offered(const ConfigStore& store, int slots) {
    QList<bool> out;
    for (int slot = 0; slot < slots; ++slot)
        out << (store.readInteger(QStringLiteral("JP"), QStringLiteral("Num%1").arg(slot + 1), 0) > 0);
    return out;
}

QString label(const QStringList& names, int slot) {
    const QString name = names.value(slot);
    return name.trimmed().isEmpty() ? QStringLiteral("奖项%1").arg(slot + 1) : name;
}

} // namespace PrizePage
