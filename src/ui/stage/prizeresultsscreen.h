#pragma once

#include "largetext.h"
#include "winnercards.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class WinnerLists;

// A prize's results for the photo: the prize, its goods, the date and every winner who keeps it
// (cancelled ones left out, supplementary ones in), drawn as the stage's cards over the whole stage,
// until any press (a key, the clicker, a click), which does nothing else.
class PrizeResultsScreen : public QWidget {
    Q_OBJECT
public:
    struct Content {
        QString prize;
        QString goods;
        QString date; // "2027年1月18日": the day of the prize's latest draw
        QList<WinnerCards::Card> cards;
        bool operator==(const Content&) const = default;
    };
    // The prize's results in the all-winners list, each line as the hall sees it.
    static Content of(const WinnerLists& lists, const QString& prize, const QString& goods,
                      const std::function<QString(const QString&)>& hallText);

    explicit PrizeResultsScreen(QWidget* stage);
    ~PrizeResultsScreen() override;

    // Covers the stage with the content in the stage's colours and takes every press until one ends it.
    void present(const Content& content, const WinnerCards::Style& style);
    void dismiss();
    const Content& content() const { return m_content; }

Q_SIGNALS:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Content m_content;
    WinnerCards::Style m_style;
    LargeText m_large;
    int m_closingKey = 0; // its release is taken too
};
