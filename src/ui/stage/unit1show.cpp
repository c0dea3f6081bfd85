// The draw screen's show: the band that names the prize on stage, the reveal that follows a stop
// (the names slowing down, or the winner cards coming in one after another), and a grand prize's
// confetti. The winners are recorded and saved at the stop, before any of this is shown; a press ends
// a reveal at once (the session's command), and nothing here runs while the stage is idle.
#include "unit1.h"

#include "confetti.h"
#include "event.h"
#include "namewall.h"
#include "prizebanner.h"
#include "prizeresultsscreen.h"
#include "rollingdisplay.h"
#include "stageshow.h"
#include "winnercelldelegate.h"
#include "winnerlists.h"

#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {
// The names slow down from a tick of 100 ms: each frame waits this much longer than the last.
constexpr double kSlowing = 1.32;
constexpr int kCardFrameMs = 40;
} // namespace

void TForm1::buildShow() {
    m_banner = new PrizeBanner(this);
    m_banner->setObjectName(QStringLiteral("prizeBanner"));
    m_wall = new NameWall(this);
    m_wall->setObjectName(QStringLiteral("nameWall"));
    m_wall->setHallText([this](const QString& line) { return m_event.lineDisplay().hallText(line); });
    m_wall->hide();
    m_confetti = new Confetti(this);
    m_confetti->setObjectName(QStringLiteral("confetti"));
    m_revealFrames = new QTimer(this);
    m_revealFrames->setObjectName(QStringLiteral("reveal_frames"));
    m_revealFrames->setSingleShot(true);
    connect(m_revealFrames, &QTimer::timeout, this, &TForm1::revealFrame);
    m_cards->setAppearance([this](int index) { return cardAppearance(index); });
    connect(&m_session, &DrawSession::revealStarted, this, &TForm1::onRevealStarted);

    m_resultsScreen = new PrizeResultsScreen(this);
    connect(&m_session, &DrawSession::prizeFinished, this,
            [this](const QString& prize) { m_finishedPrize = prize; });
    // Another front end's draw, or an event replaced, ends the screen and what it waited to show.
    connect(&m_session, &DrawSession::phaseChanged, this, [this] {
        if (m_session.phase() == DrawSession::Phase::MainRoll)
            m_finishedPrize.clear();
        if (m_session.rolling())
            m_resultsScreen->dismiss();
    });
    // The operator moving to another prize has moved on (automatic selection's move at the stop aside).
    connect(&m_session, &DrawSession::prizeChanged, this, [this] {
        if (!m_session.stopping())
            m_finishedPrize.clear();
    });
    connect(&m_event, &Event::reloaded, this, [this] {
        m_finishedPrize.clear();
        m_resultsScreen->dismiss();
    });
    connect(m_resultsScreen, &PrizeResultsScreen::dismissed, this, [this] { focusDrawButton(); });
}

bool TForm1::showFinishedPrize() {
    if (m_finishedPrize.isEmpty() || m_session.phase() != DrawSession::Phase::Idle ||
        m_session.supplementaryOpen())
        return false;
    showPrizeResults(std::exchange(m_finishedPrize, {}));
    return true;
}

void TForm1::showPrizeResults(const QString& prize) {
    QString goods;
    for (const PrizeSlot& slot : m_model.slots)
        if (slot.name == prize) {
            goods = slot.goods;
            break;
        }
    m_resultsScreen->present(
        PrizeResultsScreen::of(*m_lists, prize, goods,
                               [this](const QString& line) { return m_event.lineDisplay().hallText(line); }),
        {m_gridColor, m_gridFontColor, QColor(0xD4, 0xA0, 0x17)});
}

void TForm1::showBanner() {
    PrizeBanner::Content content;
    const DrawSession::Phase phase = m_session.phase();
    // While results are shown they stand under the prize they were drawn for; otherwise the stage
    // shows the prize the next press draws.
    const bool results = Panel2->isVisible() && !m_session.results().isEmpty() && m_resultsSlot >= 0;
    int slot = m_session.slot();
    if (phase == DrawSession::Phase::SupplementaryRoll ||
        (phase == DrawSession::Phase::Reveal && m_session.reveal().supplementary))
        slot = m_session.supplementarySlot();
    else if (results || phase == DrawSession::Phase::Reveal)
        slot = m_resultsSlot;
    if (slot < 0 || slot >= DrawModel::kSlots) {
        m_banner->setContent(content);
        return;
    }
    const PrizeSlot& prize = m_model.slots[slot];
    content.prize = prize.name;
    content.goods = prize.goods;
    content.grand = m_model.show.prize(slot).grand;
    // The picture the prize's box shows (loaded by the progress refresh).
    content.picture = m_pictures[slot].valid ? m_pictures[slot].path : QString();
    const bool supplementary = phase == DrawSession::Phase::SupplementaryRoll ||
                               (phase == DrawSession::Phase::Reveal && m_session.reveal().supplementary) ||
                               (results && m_resultsSupplementary);
    int round = 0;
    if (supplementary)
        round = 1;
    else if (results || phase == DrawSession::Phase::Reveal)
        round = static_cast<int>(m_session.results().size());
    else
        round = std::max(0, std::min(prize.perDraw, prize.quantity - prize.drawn));
    content.counts = PrizeBanner::countsText(round, prize.drawn, prize.quantity);
    if (supplementary)
        content.caption = QStringLiteral("补抽");
    else if (phase == DrawSession::Phase::Idle && !results)
        content.caption = !m_session.folderRefusal().isEmpty() ? DrawSession::kFolderStageNotice
                          : !m_stageNotice.isEmpty()           ? m_stageNotice
                          : prize.drawn >= prize.quantity      ? QStringLiteral("已抽完")
                                                               : QStringLiteral("即将抽取");
    m_banner->setContent(content);
    placeBanner(m_session.phase() == DrawSession::Phase::Idle && !Panel2->isVisible());
    markCurrentPicture();
}

void TForm1::placeBanner(bool idle) {
    const QRect& panel = m_geometry.panel2;
    const int header = m_geometry.scale.px(33);
    QRect band(panel.x(), panel.y() + header, panel.width(), bannerHeight());
    // Idle with no prize picture in view, the band stands larger in the middle of the stage.
    bool pictures = false;
    for (const QLabel* box : pict)
        pictures = pictures || (!box->isHidden() && !box->pixmap().isNull());
    if (idle && !pictures) {
        band.setHeight(bannerHeight() * 2);
        band.moveTop(panel.y() + (panel.height() - band.height()) / 2);
    }
    if (m_banner->geometry() != band)
        m_banner->setGeometry(band);
}

void TForm1::markCurrentPicture() {
    // Idle with the pictures in view, the prize the next press draws is framed in gold.
    const int slot =
        m_session.phase() == DrawSession::Phase::Idle && !Panel2->isVisible() ? m_session.slot() : -1;
    if (slot == m_framedPicture)
        return;
    if (m_framedPicture >= 0)
        pict[m_framedPicture]->setStyleSheet(QString());
    m_framedPicture = slot;
    if (slot >= 0)
        pict[slot]->setStyleSheet(QStringLiteral("QLabel { border: %1px solid #FFD700; }")
                                      .arg(std::max(2, m_geometry.scale.px(4))));
}

bool TForm1::rollsOnWall() const {
    const DrawSession::Phase phase = m_session.phase();
    if (phase == DrawSession::Phase::MainRoll)
        return m_model.show.prize(m_session.slot()).roll == PrizeShow::Roll::Wall;
    return phase == DrawSession::Phase::Reveal && m_session.reveal().show.roll == PrizeShow::Roll::Wall;
}

void TForm1::startWall() {
    // Every name that can be drawn goes on the wall (a sample of a very long list: the wall shows a
    // few hundred at a time anyway).
    constexpr std::size_t kMostNames = 5000;
    const std::vector<int> lines =
        m_engine.eligibility()
            .candidates(m_session.slot(), Eligibility::Draw::Main, m_model.repeatAllowed)
            .admitted();
    const std::size_t step = std::max<std::size_t>(1, lines.size() / kMostNames);
    QStringList names;
    names.reserve(static_cast<qsizetype>(std::min(lines.size(), kMostNames + 1)));
    for (std::size_t i = 0; i < lines.size(); i += step)
        names << m_model.pool.line(lines[i]).toString();
    QRect area = m_geometry.panel2;
    area.setTop(area.top() + m_geometry.scale.px(33) + bannerHeight());
    m_wall->setGeometry(area);
    m_wall->setColors(m_gridColor.darker(140), m_gridFontColor, QColor(0xD4, 0xA0, 0x17));
    m_wall->setNames(names);
    m_wall->show();
    m_wall->startRoll();
}

void TForm1::onRevealStarted() {
    // The stop has recorded its winners; the view runs the prize's effect from here.
    m_lastRevealFrameMs = -1;
    m_confettiStarted = false;
    if (rollsOnWall() && !m_wall->isHidden()) {
        QStringList winners;
        for (const DrawSession::Result& result : m_session.results())
            winners << m_lists->cellNameOf(result.cell);
        m_wall->reveal(winners);
    }
    revealFrame();
}

double TForm1::cardAppearance(int index) const {
    if (m_session.phase() != DrawSession::Phase::Reveal ||
        m_session.reveal().show.reveal != PrizeShow::Reveal::OneByOne)
        return 1.0;
    const int winners = std::max(1, m_session.reveal().winners);
    const int step = std::min(StageShow::kCardStepMs, StageShow::kOneByOneMs / winners);
    const qint64 since = m_session.revealElapsedMs() - StageShow::cardArrivalMs(index, winners);
    return since < 0 ? 0.0 : std::min(1.0, double(since + 1) / std::max(1, step));
}

void TForm1::revealFrame() {
    if (m_session.phase() != DrawSession::Phase::Reveal)
        return;
    const DrawSession::Reveal& reveal = m_session.reveal();
    const qint64 elapsed = m_session.revealElapsedMs();
    const int stand = StageShow::winnersStandMs(reveal.show);
    if (reveal.show.grand && !m_confettiStarted && elapsed >= stand) {
        m_confettiStarted = true;
        // Over the panel only: the announcement above has a shadow, which would be blurred anew under
        // every flake.
        m_confetti->setGeometry(m_geometry.panel2);
        m_confetti->start(std::max(1, reveal.durationMs - int(elapsed)));
    }
    int next = -1; // ms until the next frame, none when the effect has nothing more to show
    switch (reveal.show.roll == PrizeShow::Roll::Wall ? PrizeShow::Reveal::Immediate : reveal.show.reveal) {
    case PrizeShow::Reveal::SlowStop: {
        if (elapsed < StageShow::kSlowStopMs) {
            // Slowing names: every frame holds a little longer than the last.
            const int wait = m_lastRevealFrameMs < 0
                                 ? 100
                                 : int(std::max<qint64>(100, (elapsed - m_lastRevealFrameMs) * kSlowing));
            m_lastRevealFrameMs = elapsed;
            time1Timer();
            next = int(std::min<qint64>(wait, StageShow::kSlowStopMs - elapsed));
            if (next <= 0)
                next = 1;
        } else {
            // The names settle on the winners, then the cards stand (at the end of the reveal).
            QStringList winners;
            for (const DrawSession::Result& result : m_session.results())
                if (winners.size() < 10)
                    winners << m_event.lineDisplay()
                                   .hallText(m_lists->cellNameOf(result.cell))
                                   .replace(QLatin1Char('\t'), QStringLiteral("  "));
            // In the middle of the ten lines, where the eye is.
            const QStringList above(static_cast<int>((10 - winners.size()) / 2), QString());
            Memo3->showLines(above + winners);
        }
        break;
    }
    case PrizeShow::Reveal::OneByOne: {
        // Only the cards coming in are drawn again.
        const int winners = std::max(1, reveal.winners);
        const int columns = std::max(1, Grid1->columnCount());
        bool moving = false;
        for (int i = 0; i < winners; ++i) {
            const double appear = cardAppearance(i);
            if (appear > 0.0 &&
                (appear < 1.0 ||
                 elapsed - kCardFrameMs < StageShow::cardArrivalMs(i, winners) + StageShow::kCardStepMs)) {
                Grid1->viewport()->update(Grid1->visualRect(Grid1->model()->index(i / columns, i % columns)));
            }
            moving = moving || appear < 1.0;
        }
        if (moving)
            next = kCardFrameMs;
        break;
    }
    case PrizeShow::Reveal::Immediate:
        break;
    }
    if (reveal.show.grand && !m_confettiStarted)
        next = next < 0 ? int(stand - elapsed) : std::min<int>(next, int(stand - elapsed));
    if (next >= 0)
        m_revealFrames->start(std::max(1, next));
}

void TForm1::endRevealView() {
    m_revealFrames->stop();
    if (!m_wall->isHidden()) {
        m_wall->stop();
        m_wall->hide();
    }
    m_confetti->stop();
    m_confettiStarted = false;
    Grid1->viewport()->update();
}
