#include "allwinnersmodel.h"

#include "winnerlists.h"

#include <QBrush>
#include <QColor>
#include <QFont>

AllWinnersModel::AllWinnersModel(const WinnerLists& lists, QObject* parent)
    : QAbstractListModel(parent), m_lists(lists), m_rows(static_cast<int>(lists.all().size())) {
    connect(&lists, &WinnerLists::allLineAppended, this, &AllWinnersModel::appended);
    connect(&lists, &WinnerLists::allLineChanged, this, [this](int row) {
        if (row < m_rows)
            Q_EMIT dataChanged(index(row), index(row));
    });
    connect(&lists, &WinnerLists::allReset, this, [this] {
        beginResetModel();
        m_rows = static_cast<int>(m_lists.all().size());
        endResetModel();
    });
}

void AllWinnersModel::appended(int row) {
    // The list already holds the line; the rows up to it are announced now.
    if (row < m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, row);
    m_rows = row + 1;
    endInsertRows();
}

int AllWinnersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant AllWinnersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_lists.all().size())
        return {};
    const QString& line = m_lists.all().at(index.row());
    const bool header = WinnerLists::isHeaderLine(line);
    switch (role) {
    case Qt::DisplayRole:
        // Columns of an entrant line (tabs) a blank apart, as the stage shows them.
        return AllWinners::displayLine(header ? line.trimmed() : line).replace(u'\t', QStringLiteral("  "));
    case Qt::FontRole:
        if (header || line.contains(WinnerLists::kCancelSuffix)) {
            QFont font;
            font.setBold(header);
            font.setStrikeOut(!header);
            return font;
        }
        return {};
    case Qt::ForegroundRole:
        if (header)
            return QBrush(QColor(0xE8, 0xB8, 0x30));
        if (line.contains(WinnerLists::kCancelSuffix))
            return QBrush(QColor(0x8A, 0x8C, 0x94));
        return {};
    default:
        return {};
    }
}
