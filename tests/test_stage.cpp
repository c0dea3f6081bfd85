// The stage in front of the audience: the presenter's keys and covers, the layout at the projector's
// size, names that fill their cells, and the rolling display's partial repaints.
#include "drive.h"
#include "largetext.h"
#include "prizebanner.h"
#include "prizeresultsscreen.h"
#include "screengeometry.h"
#include "testenv.h"
#include "unit1.h"
#include "winnercelldelegate.h"
#include "winnerlists.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
QString entrants(int count) {
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("员工%1\r\n").arg(i);
    return text;
}

// A key as the presenter sends it, into whatever has the focus on the stage.
void key(TForm1& form, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = form.focusWidget();
    QTest::keyClick(target ? target : &form, k, modifiers);
}

// How much the colours of two pictures differ at most (0 to 255).
int difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 256;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}
} // namespace

class TestStage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void presenterKeys();
    void coversAndHarmlessKeys();
    void clickerMovesOnFromAFinishedPrize();
    void prizeResultsForThePhoto();
    void layoutAtThreeSizes();
    void namesFillFewCells();
    void rollingRepaintsLeaveNoStaleInk();
    void largeTextLooksLikeQts();
};

void TestStage::presenterKeys() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(40));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=3\r\nEvery1=1\r\n"
                                                            "Name2=B\r\nNum2=30\r\nEvery2=30\r\nCol2=1\r\n"));
    TForm1 form;
    form.setGeometry(0, 0, 1280, 720);
    form.show();
    QCOMPARE(form.currentPosition(), 1);

    // PageDown starts the roll, Right stops it; the prize stays while names roll.
    key(form, Qt::Key_PageDown);
    QVERIFY(form.isRolling());
    key(form, Qt::Key_PageUp);
    key(form, Qt::Key_Left);
    QCOMPARE(form.currentPosition(), 1);
    key(form, Qt::Key_Right);
    QVERIFY(!form.isRolling());
    QCOMPARE(form.model().slots[1].drawn, 30);

    // Thirty names in one column: Down and Up scroll the grid a row.
    auto* grid = child<QTableWidget>(form, "Grid1");
    QScrollBar* bar = grid->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    key(form, Qt::Key_Down);
    key(form, Qt::Key_Down);
    QCOMPARE(bar->value(), 2);
    key(form, Qt::Key_Up);
    QCOMPARE(bar->value(), 1);

    // PageUp selects the prize above, and at the first prize nothing happens.
    key(form, Qt::Key_PageUp);
    QCOMPARE(form.currentPosition(), 0);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), DrawModel::progressText(form.model().slots[0]));
    key(form, Qt::Key_Left);
    QCOMPARE(form.currentPosition(), 0);

    // Never while the operator types, nor with Ctrl: the keys are the text field's.
    auto* field = new QLineEdit(&form);
    field->show();
    field->setFocus();
    key(form, Qt::Key_PageDown);
    key(form, Qt::Key_B);
    QVERIFY(!form.isRolling());
    QCOMPARE(field->text(), QStringLiteral("b"));
    delete field;
    child<QPushButton>(form, "btn_prize")->setFocus();
    key(form, Qt::Key_B, Qt::ControlModifier);
    QVERIFY(!child<QWidget>(form, "stageCover")->isVisible());

    // The supplementary panel: PageDown works its button, PageUp its selector, Esc closes it, but
    // not while its names roll.
    form.N10Click();
    auto* panel = child<QWidget>(form, "Panel1");
    auto* supplementaryPrize = child<QComboBox>(form, "ComboBox2");
    QCOMPARE(supplementaryPrize->currentIndex(), 0); // the prize on show
    form.chooseSupplementaryPrize(1);
    key(form, Qt::Key_PageUp);
    QCOMPARE(supplementaryPrize->currentIndex(), 0);
    QCOMPARE(form.currentPosition(), 0);
    key(form, Qt::Key_PageDown);
    QCOMPARE(child<QPushButton>(form, "btn_bu")->text(), QStringLiteral("停止"));
    key(form, Qt::Key_Escape);
    QVERIFY(panel->isVisible());
    key(form, Qt::Key_PageDown);
    QCOMPARE(form.winnerLists().current().size(), 1);
    QVERIFY(form.winnerLists().current().first().startsWith(QStringLiteral("A：")));
    key(form, Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
    QVERIFY(child<QPushButton>(form, "btn_prize")->isEnabled());
    QCOMPARE(form.model().slots[0].drawn, 0);
}

void TestStage::coversAndHarmlessKeys() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(20));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=5\r\nEvery1=1\r\n"));
    TForm1 form;
    form.setGeometry(0, 0, 1280, 720);
    form.show();
    auto* cover = child<QWidget>(form, "stageCover");
    const auto colour = [&] { return cover->grab().toImage().pixelColor(10, 10); };

    key(form, Qt::Key_B);
    QVERIFY(cover->isVisible());
    QCOMPARE(cover->geometry(), form.rect());
    QCOMPARE(colour(), QColor(Qt::black));
    key(form, Qt::Key_Period); // the other black key takes it away
    QVERIFY(!cover->isVisible());
    key(form, Qt::Key_W);
    QCOMPARE(colour(), QColor(Qt::white));
    key(form, Qt::Key_Period); // white straight to black
    QCOMPARE(colour(), QColor(Qt::black));
    // Any other presenter key only takes the cover away: no draw starts in the dark.
    key(form, Qt::Key_PageDown);
    QVERIFY(!cover->isVisible());
    QVERIFY(!form.isRolling());
    key(form, Qt::Key_Comma);
    QTest::mouseClick(cover, Qt::LeftButton);
    QVERIFY(!cover->isVisible());
    // The cover stays over the names while they roll, and follows the window's size.
    key(form, Qt::Key_PageDown);
    key(form, Qt::Key_B);
    QVERIFY(form.isRolling());
    form.resize(1000, 600);
    QCOMPARE(cover->geometry(), form.rect());
    key(form, Qt::Key_Space);
    QVERIFY(form.isRolling());
    QVERIFY(!cover->isVisible());
    key(form, Qt::Key_Space);
    QCOMPARE(form.model().slots[0].drawn, 1);

    // F5 and Esc from the "start show" button: nothing happens, the stage stays.
    const Qt::WindowFlags flags = form.windowFlags();
    key(form, Qt::Key_F5);
    key(form, Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowFlags(), flags);
    QVERIFY(!form.isRolling());
    QVERIFY(child<QWidget>(form, "Panel2")->isVisible());
}

void TestStage::clickerMovesOnFromAFinishedPrize() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(20));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=特等奖\r\nNum1=1\r\nEvery1=1\r\n"
                                                            "Name2=一等奖\r\nNum2=2\r\nEvery2=1\r\n"
                                                            "Name3=二等奖\r\nNum3=3\r\nEvery3=1\r\n"));
    TForm1 form;
    form.setGeometry(0, 0, 1280, 720);
    form.show();
    const auto band = [&] { return child<PrizeBanner>(form, "prizeBanner")->content().caption; };
    QCOMPARE(form.currentPosition(), 2);

    // On a finished prize the clicker's draw key goes to the last prize up with places left (as
    // automatic selection would), says so on the band and raises no box; the next press draws.
    form.model().slots[2].drawn = 3;
    form.model().slots[0].drawn = 1;
    key(form, Qt::Key_PageDown);
    QCOMPARE(form.currentPosition(), 1);
    QCOMPARE(band(), QStringLiteral("该奖项已抽完，已切换到 一等奖"));
    QVERIFY(!form.isRolling());
    key(form, Qt::Key_PageUp); // the band's notice goes with its prize
    QCOMPARE(band(), QStringLiteral("已抽完"));
    QCOMPARE(child<PrizeBanner>(form, "prizeBanner")->content().counts, QStringLiteral("已抽 1 / 1"));
    form.choosePrize(1);
    form.model().slots[1].drawn = 2;
    key(form, Qt::Key_Right);
    QCOMPARE(form.currentPosition(), 1);
    QCOMPARE(band(), QStringLiteral("所有奖项已抽完"));
    QVERIFY(env.dialogs.boxes.isEmpty());

    // The keyboard's Space on the draw button keeps the box.
    form.choosePrize(0);
    press(form);
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("该奖项已抽完!")});
    QCOMPARE(form.currentPosition(), 0);
}

// After the draw that takes a prize's last places the next press shows the prize's results: every
// winner who keeps it (the cancelled one left out, the supplementary one in), as the hall sees them;
// the press after only ends the screen.
void TestStage::prizeResultsForThePhoto() {
    TestEnv env;
    QString list;
    for (int i = 1; i <= 12; ++i)
        list += QStringLiteral("员工%1 1398414%2\r\n").arg(i).arg(1000 + i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), list);
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=3\r\nEvery1=3\r\nprizename1=笔记本电脑\r\n"));
    TForm1 form;
    form.setGeometry(0, 0, 1280, 720);
    form.show();
    draw(form);
    form.session().finishReveal();
    const QString cancelled = WinnerLists::cellName(form.session().results().at(0).cell);
    QVERIFY(form.session().cancelResult(0).isEmpty());
    form.N10Click();
    form.session().toggleSupplementary();
    form.session().toggleSupplementary();
    form.session().finishReveal();
    form.SpeedButton1Click();

    auto* screen = form.prizeResultsScreen();
    key(form, Qt::Key_PageDown);
    QVERIFY(screen->isVisible());
    const PrizeResultsScreen::Content& shown = screen->content();
    QCOMPARE(shown.prize, QStringLiteral("一等奖"));
    QCOMPARE(shown.goods, QStringLiteral("笔记本电脑"));
    QCOMPARE(shown.cards.size(), 3);
    int supplementary = 0;
    for (const WinnerCards::Card& card : shown.cards) {
        QVERIFY(card.name != cancelled.section(QLatin1Char(' '), 0, 0));
        QVERIFY2(card.details.contains(QStringLiteral("139****")), qPrintable(card.details));
        supplementary += card.supplementary ? 1 : 0;
    }
    QCOMPARE(supplementary, 1);
    key(form, Qt::Key_Space);
    QVERIFY(!screen->isVisible());
    QVERIFY(!form.isRolling());
    QCOMPARE(form.model().slots[0].drawn, 3);
}

void TestStage::layoutAtThreeSizes() {
    // At 1080 lines the layout is the design's; at 2160 every height is twice it, at 720 two thirds.
    const ScreenGeometry design = ScreenGeometry::compute(1920, 1080, 0, 3);
    const ScreenGeometry fullHd = ScreenGeometry::compute(1920, 1080, 0, 3, StageScale::forHeight(1080));
    QCOMPARE(fullHd.panel2, design.panel2);
    QCOMPARE(fullHd.pictures, design.pictures);
    const ScreenGeometry uhd = ScreenGeometry::compute(3840, 2160, 0, 3, StageScale::forHeight(2160));
    QCOMPARE(uhd.bar, QRect(0, 2 * 971, 3837, 2 * 61));
    QCOMPARE(uhd.panel2, QRect(0, 2 * 197, 3837, 2 * 776));
    QCOMPARE(uhd.label1.top(), 2 * 163);
    QCOMPARE(uhd.pictures[5].top(), 2 * 643);
    QCOMPARE(uhd.panel1.size(), QSize(2 * 720, 2 * 82));
    const ScreenGeometry hd = ScreenGeometry::compute(1280, 720, 0, 3, StageScale::forHeight(720));
    for (const auto& [scaled, full] : {std::pair{hd.bar, design.bar},
                                       {hd.panel2, design.panel2},
                                       {hd.title2, design.title2},
                                       {hd.pictures[0], design.pictures[0]}}) {
        QVERIFY(qAbs(scaled.top() - full.top() * 2 / 3) <= 1);
        QVERIFY(qAbs(scaled.height() - full.height() * 2 / 3) <= 1);
    }
    QVERIFY(hd.panel2.bottom() < hd.bar.bottom() && hd.pictures[4].bottom() < hd.bar.top());

    // The window lays itself out so: controls and fonts, the configured ones included.
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Setting]\r\nTitle1_font=40\r\nGrid_font=22\r\n"
                                                            "[JP]\r\nName1=A\r\nNum1=5\r\n"));
    TForm1 form;
    form.show();
    for (const int lines : {720, 1080, 2160}) {
        form.setGeometry(0, 0, lines * 16 / 9, lines);
        form.getscreensize();
        const double f = lines / 1080.0;
        QCOMPARE(child<QWidget>(form, "RzPanel1")->geometry(), form.geometryPass().bar);
        QCOMPARE(child<QWidget>(form, "Memo3")->geometry(), form.geometryPass().panel2);
        QCOMPARE(child<QWidget>(form, "btn_prize")->geometry(),
                 QRect(qRound(624 * f), qRound(16 * f), qRound(75 * f), qRound(35 * f)));
        QCOMPARE(child<QWidget>(form, "title1")->font().pointSizeF(), 40 * f);
        QCOMPARE(child<QWidget>(form, "Grid1")->font().pointSizeF(), 22 * f);
        QCOMPARE(child<QWidget>(form, "Memo3")->font().pixelSize(), qRound(37 * f));
        QCOMPARE(child<QWidget>(form, "Label3")->geometry().height(), qRound(20 * f));
        QCOMPARE(
            child<QWidget>(form, "Panel1")->geometry(),
            QRect((lines * 16 / 9 - qRound(720 * f)) / 2, qRound(80 * f), qRound(720 * f), qRound(82 * f)));
    }
}

void TestStage::namesFillFewCells() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(60));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=G\r\nNum1=1\r\nEvery1=1\r\nCol1=1\r\n"
                                "Name2=T\r\nNum2=30\r\nEvery2=30\r\nCol2=6\r\n"));
    TForm1 form;
    form.setGeometry(0, 0, 1920, 1080);
    form.show();
    form.getscreensize();
    auto* grid = child<QTableWidget>(form, "Grid1");
    // The text height the delegate chooses for a cell, at the grid's configured font.
    const auto shown = [&](int row, int column) {
        QStyleOptionViewItem option;
        option.initFrom(grid);
        option.font = grid->font();
        option.rect = grid->visualRect(grid->model()->index(row, column));
        return grid->itemDelegate()->sizeHint(option, grid->model()->index(row, column)).height();
    };
    const int configured = QFontMetrics(grid->font()).height();

    draw(form); // thirty in six columns: the configured size, as always
    QCOMPARE(grid->rowCount(), 5);
    QCOMPARE(shown(0, 0), configured);
    QCOMPARE(shown(4, 5), configured);

    key(form, Qt::Key_PageUp);
    draw(form); // the grand prize: one name fills the panel, whole
    QCOMPARE(grid->rowCount(), 1);
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QVERIFY2(shown(0, 0) > cell.height() / 2, qPrintable(QString::number(shown(0, 0))));
    QVERIFY(shown(0, 0) <= cell.height());
    // Three names in three columns grow to one size, however long each is.
    grid->setColumnCount(3);
    grid->setRowCount(1);
    const QStringList names{QStringLiteral("马芳 A0063"), QStringLiteral("欧阳静雨 A0047"),
                            QStringLiteral("杨娟")};
    for (int c = 0; c < 3; ++c)
        grid->setItem(0, c, new QTableWidgetItem(names[c]));
    form.gridsize();
    QVERIFY(shown(0, 0) > configured);
    QCOMPARE(shown(0, 1), shown(0, 0));
    QCOMPARE(shown(0, 2), shown(0, 0));
    QCOMPARE(WinnerCellDelegate::growthFor(5), 1.0);
    QVERIFY(WinnerCellDelegate::growthFor(2) > 1.0);
}

void TestStage::rollingRepaintsLeaveNoStaleInk() {
    TestEnv env;
    QString list;
    for (int i = 1; i <= 40; ++i) // short and long names, so that a short one follows a long one
        list += (i % 3 ? QStringLiteral("张%1\r\n") : QStringLiteral("欧阳长名字%1\tS%1\t市场部\r\n")).arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), list);
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=5\r\nEvery1=1\r\n"));
    for (const int lines : {1080, 2160}) { // Qt's own glyphs, and the large ones filled once
        TForm1 form;
        form.setGeometry(0, 0, lines * 16 / 9, lines);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.getscreensize();
        press(form);
        auto* memo = child<QTextEdit>(form, "Memo3");
        auto* tick = child<QTimer>(form, "time1");
        for (int i = 0; i < 6; ++i) {
            QMetaObject::invokeMethod(tick, "timeout", Qt::DirectConnection);
            QCoreApplication::processEvents();
            QCOMPARE(memo->toPlainText().split(QLatin1Char('\n')).size(), 10);
        }
        // What the window shows after the partial repaints is what a whole repaint draws now.
        // (The prize's band lies over the top of the display: the names are compared below it.)
        const int below = form.findChild<QWidget*>(QStringLiteral("prizeBanner"))->geometry().bottom() + 1 -
                          memo->geometry().top();
        const QRect names(0, below, memo->width(), memo->height() - below);
        const QImage shown = form.screen()
                                 ->grabWindow(form.winId())
                                 .toImage()
                                 .copy(names.translated(memo->geometry().topLeft()));
        const QImage whole = memo->grab().toImage().copy(names);
        QVERIFY2(difference(shown, whole) <= 8, qPrintable(QString::number(lines)));
        press(form);
    }
}

void TestStage::largeTextLooksLikeQts() {
    // Large glyphs filled once and copied look like the glyphs Qt fills itself, CJK fallback included.
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(90);
    font.setBold(true);
    const QString text = QStringLiteral("欧阳 A0123");
    const auto render = [&](bool cached) {
        QImage image(700, 140, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::yellow);
        LargeText large;
        if (cached)
            large.draw(painter, QPointF(10, 110), text, font, Qt::yellow);
        else
            painter.drawText(QPointF(10, 110), text);
        return image;
    };
    const QImage ours = render(true);
    const QImage qts = render(false);
    QVERIFY(ours != QImage(700, 140, QImage::Format_RGB32));
    int differing = 0;
    int inked = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            inked += qts.pixel(x, y) != QColor(Qt::darkRed).rgb();
            differing += std::abs(qGreen(ours.pixel(x, y)) - qGreen(qts.pixel(x, y))) > 96;
        }
    QVERIFY(inked > 3000);
    QVERIFY2(differing < inked / 50, qPrintable(QStringLiteral("%1 of %2").arg(differing).arg(inked)));
}

QTEST_MAIN(TestStage)
#include "test_stage.moc"
