#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// The band over the stage's middle that tells the hall which prize this is: its picture, its name
// large, its goods and "本轮 n 位 · 已抽 k / m". It paints only when what it shows changes.
class PrizeBanner : public QWidget {
public:
    struct Content {
        QString caption; // "即将抽取" idle, empty while names roll and while winners are shown
        QString prize;
        QString goods;
        QString counts;
        QString picture; // the picture's file, empty for none
        bool grand = false;
        bool operator==(const Content&) const = default;
    };

    explicit PrizeBanner(QWidget* parent);

    void setContent(const Content& content);
    const Content& content() const { return m_content; }
    // "本轮 n 位 · 已抽 k / m", without the round when it has nobody.
    static QString countsText(int thisRound, int drawn, int quantity);
    // The stage's accent colour (gold) and the names' colour.
    void setColors(const QColor& text, const QColor& accent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Content m_content;
    QPixmap m_picture; // scaled to the band's height
    QColor m_text{0xFF, 0xE1, 0x4D};
    QColor m_accent{0xD4, 0xA0, 0x17};
    void loadPicture();
    void render(QPainter& painter) const;
    // The band as drawn, made again only when what it shows or its size changes: a repaint (the
    // confetti falling through it) copies the part it needs.
    QPixmap m_drawn;
};
