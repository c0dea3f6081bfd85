#pragma once

#include <QAbstractListModel>

class WinnerLists;

// The all-winners list as the console lists it, line by line and live: draw headers stand out,
// cancelled lines are struck through. Follows the list's own signals, so a long event is never
// copied again for one new line.
class AllWinnersModel : public QAbstractListModel {
public:
    explicit AllWinnersModel(const WinnerLists& lists, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void appended(int index);

    const WinnerLists& m_lists;
    int m_rows = 0;
};
