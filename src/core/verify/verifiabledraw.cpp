#include "verifiabledraw.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "configstore.h"
#include "drawderivation.h"
#include "drawmodel.h"
#include "durablefile.h"
#include "eligibility.h"
#include "eventstore.h"
#include "operationerror.h"
#include "systemreason.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>

namespace {
const QString kSection = QStringLiteral("Verify");
const QString kMode = QStringLiteral("Mode");

QString field(const QJsonObject& entry, const char* key) {
    return entry.value(QLatin1String(key)).toString();
}

QString now() {
    return Clock::instance().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A file of the mode put aside under a dated name (initialise, a mode switched on anew).
void putAside(const QString& path) {
    if (!QFileInfo::exists(path))
        return;
    if (!DurableFile::replace(path, EventStore::datedCopyPath(path)))
        throw OperationError::cannotCreate(path, SystemReason::ofErrno(errno));
    DurableFile::syncFolder(QFileInfo(path).absolutePath());
}
} // namespace

const QString VerifiableDraw::kStageNotice = QStringLiteral("本场抽奖可验证 · 无预设中奖");
const QString VerifiableDraw::kPresetsRefused =
    QStringLiteral("本场抽奖为“可验证抽奖”：中奖者由公布的算法从种子和现场数字推出，不能预设中奖。\n"
                   "prize.db 中的预设中奖记录本次不使用（文件中的设置保持不变）。");

VerifiableDraw::VerifiableDraw(DrawModel& model, WinnerLists& lists, const Eligibility& eligibility,
                               QObject* parent)
    : QObject(parent), m_model(model), m_lists(lists), m_eligibility(eligibility) {}

void VerifiableDraw::setHallText(HallText hallText) {
    m_hallText = std::move(hallText);
}

QString VerifiableDraw::hallText(const QString& line) const {
    return m_hallText ? m_hallText(line) : line;
}

QStringList VerifiableDraw::hallLines() const {
    QStringList lines;
    const EntrantPool& pool = m_model.pool;
    lines.reserve(pool.count());
    for (int i = 0; i < pool.count(); ++i)
        lines << hallText(pool.name(i));
    return lines;
}

QJsonObject VerifiableDraw::prizesEntry(const char* type) const {
    QJsonArray prizes;
    QStringList lines;
    for (const int slot : m_model.listedSlots) {
        const PrizeSlot& prize = m_model.slots[slot];
        const PrizeRule& rule = m_model.rules.at(slot);
        const QString only = PrizeRule::join(rule.only);
        const QString except = PrizeRule::join(rule.except);
        prizes.append(QJsonObject{{QStringLiteral("slot"), slot + 1},
                                  {QStringLiteral("name"), prize.name},
                                  {QStringLiteral("quantity"), prize.quantity},
                                  {QStringLiteral("perDraw"), prize.perDraw},
                                  {QStringLiteral("only"), only},
                                  {QStringLiteral("except"), except},
                                  {QStringLiteral("winnersMay"), rule.winnersMay}});
        lines << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                     .arg(slot + 1)
                     .arg(prize.name)
                     .arg(prize.quantity)
                     .arg(prize.perDraw)
                     .arg(only, except)
                     .arg(rule.winnersMay ? 1 : 0);
    }
    lines << QStringLiteral("repeat\t%1").arg(m_model.repeatAllowed ? 1 : 0);
    return {{QStringLiteral("type"), QLatin1String(type)},
            {QStringLiteral("prizes"), prizes},
            {QStringLiteral("repeat"), m_model.repeatAllowed},
            {QStringLiteral("prizesHash"), DrawDerivation::listHash(lines)}};
}

void VerifiableDraw::takeEntry(const QJsonObject& entry) {
    const QString type = field(entry, "type");
    if (type == QLatin1String("commit"))
        m_commitment = field(entry, "commitment");
    if (entry.contains(QLatin1String("listHash")))
        m_listHash = field(entry, "listHash");
    if (entry.contains(QLatin1String("prizesHash")))
        m_prizesHash = field(entry, "prizesHash");
    if (type == QLatin1String("hall"))
        m_hall = field(entry, "number");
    if (type == QLatin1String("draw") || type == QLatin1String("supplementary"))
        m_drawn = true;
    if (type == QLatin1String("reveal"))
        m_revealed = true;
}

void VerifiableDraw::load() {
    m_on = ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readBool(kSection, kMode, false);
    m_journal = DrawJournal(AppPaths::file(AppPaths::kVerifyJournal));
    m_seed.clear();
    m_commitment.clear();
    m_listHash.clear();
    m_prizesHash.clear();
    m_hall.clear();
    m_drawn = false;
    m_revealed = false;
    if (m_on) {
        m_journal.load();
        for (const QJsonObject& entry : m_journal.entries())
            takeEntry(entry);
        try {
            const QString seed =
                QString::fromLatin1(AtomicFile::readAll(AppPaths::file(AppPaths::kVerifySeed))).trimmed();
            if (DrawDerivation::isHex64(seed))
                m_seed = seed;
        } catch (const OperationError&) {
            // A missing or unreadable seed refuses the draw (drawRefusal) with its reason.
        }
    }
    Q_EMIT changed();
}

bool VerifiableDraw::hasResults() const {
    for (const PrizeSlot& slot : m_model.slots)
        if (slot.drawn > 0)
            return true;
    return TextFiles::holdsResults(m_lists.all());
}

QString VerifiableDraw::switchOn() {
    if (m_on)
        return {};
    if (hasResults())
        return QStringLiteral("本活动已有抽奖记录。可验证抽奖只能在第一次抽奖前开启：请先“初始化进度”。");
    // A journal of an earlier try is kept aside; this event's starts empty.
    putAside(AppPaths::file(AppPaths::kVerifyJournal));
    putAside(AppPaths::file(AppPaths::kVerifySeed));
    QByteArray seed(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(seed.data()), seed.size() / 4);
    const QString seedHex = QString::fromLatin1(seed.toHex());
    // The seed is on the disk before its commitment is: a power cut never leaves a commitment that
    // nothing can open.
    AtomicFile::write(AppPaths::file(AppPaths::kVerifySeed), seedHex.toLatin1() + "\r\n");
    DrawJournal journal(AppPaths::file(AppPaths::kVerifyJournal));
    const QStringList lines = hallLines();
    QJsonObject commit = prizesEntry("commit");
    commit.insert(QStringLiteral("commitment"), DrawDerivation::commitment(seedHex));
    commit.insert(QStringLiteral("lines"), QJsonArray::fromStringList(lines));
    commit.insert(QStringLiteral("listHash"), DrawDerivation::listHash(lines));
    commit.insert(QStringLiteral("t"), now());
    journal.append(commit);
    ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).writeStrings(kSection, {{kMode, QStringLiteral("1")}});
    load();
    return {};
}

void VerifiableDraw::initialised() {
    if (!m_on)
        return;
    if (m_journal.broken().isEmpty())
        m_journal.append({{QStringLiteral("type"), QStringLiteral("initialise")},
                          {QStringLiteral("seed"), m_seed},
                          {QStringLiteral("t"), now()}});
    ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).writeStrings(kSection, {{kMode, QStringLiteral("0")}});
    putAside(AppPaths::file(AppPaths::kVerifyJournal));
    putAside(AppPaths::file(AppPaths::kVerifySeed));
    load();
}

QString VerifiableDraw::setHallNumber(const QString& typed) {
    if (!m_on || m_commitment.isEmpty())
        return QStringLiteral("没有开启可验证抽奖。");
    if (m_drawn)
        return QStringLiteral("已经抽过奖，现场数字不能再输入。");
    if (!m_hall.isEmpty())
        return QStringLiteral("现场数字已经输入（%1），不能更改。").arg(m_hall);
    const std::optional<QString> number = DrawDerivation::hallNumber(typed);
    if (!number)
        return QStringLiteral("现场数字须是 1 到 64 位数字（例如骰子点数、钞票编号中的数字）。");
    m_journal.append({{QStringLiteral("type"), QStringLiteral("hall")},
                      {QStringLiteral("number"), *number},
                      {QStringLiteral("t"), now()}});
    m_hall = *number;
    Q_EMIT changed();
    return {};
}

QString VerifiableDraw::reveal() {
    if (!m_on)
        return QStringLiteral("没有开启可验证抽奖。");
    if (m_revealed)
        return {};
    if (m_seed.isEmpty() || DrawDerivation::commitment(m_seed) != m_commitment)
        return drawRefusal();
    m_journal.append({{QStringLiteral("type"), QStringLiteral("reveal")},
                      {QStringLiteral("seed"), m_seed},
                      {QStringLiteral("t"), now()}});
    m_revealed = true;
    Q_EMIT changed();
    return {};
}

QByteArray VerifiableDraw::proof() const {
    if (!m_revealed)
        return {};
    const QJsonObject end{{QStringLiteral("n"), m_journal.count() + 1},
                          {QStringLiteral("prev"), m_journal.lastHash()},
                          {QStringLiteral("type"), QStringLiteral("end")}};
    return m_journal.bytes() + DrawJournal::lineOf(end) + '\n';
}

QString VerifiableDraw::drawRefusal() const {
    if (!m_on)
        return {};
    if (!m_journal.broken().isEmpty())
        return m_journal.broken();
    if (m_commitment.isEmpty() || m_seed.isEmpty() || DrawDerivation::commitment(m_seed) != m_commitment)
        return QStringLiteral("可验证抽奖的种子文件 %1 丢失或与公布的承诺值不符，不能继续抽奖。\n"
                              "请从活动备份恢复，或“初始化进度”后重新开始。")
            .arg(AppPaths::file(AppPaths::kVerifySeed));
    if (m_hall.isEmpty())
        return QStringLiteral(
            "可验证抽奖：请先输入现场数字（由现场嘉宾掷骰子或读出钞票编号产生），再开始抽奖。");
    return {};
}

void VerifiableDraw::journalChanges() {
    if (!m_on)
        return;
    const QStringList lines = hallLines();
    if (const QString hash = DrawDerivation::listHash(lines); hash != m_listHash) {
        m_journal.append({{QStringLiteral("type"), QStringLiteral("list")},
                          {QStringLiteral("lines"), QJsonArray::fromStringList(lines)},
                          {QStringLiteral("listHash"), hash},
                          {QStringLiteral("t"), now()}});
        m_listHash = hash;
        Q_EMIT changed();
    }
    QJsonObject prizes = prizesEntry("prizes");
    if (field(prizes, "prizesHash") != m_prizesHash) {
        prizes.insert(QStringLiteral("t"), now());
        m_journal.append(prizes);
        m_prizesHash = field(prizes, "prizesHash");
        Q_EMIT changed();
    }
}

VerifiableDraw::Derived VerifiableDraw::drawMain(int slot, const QString& prize, int n, bool repeatAllowed) {
    return derive("draw", slot, prize, n, repeatAllowed, true);
}

VerifiableDraw::Derived VerifiableDraw::drawSupplementary(int slot, const QString& prize,
                                                          bool repeatAllowed) {
    return derive("supplementary", slot, prize, 1, repeatAllowed, false);
}

VerifiableDraw::Derived VerifiableDraw::derive(const char* type, int slot, const QString& prize, int n,
                                               bool repeatAllowed, bool main) {
    if (const QString refusal = drawRefusal(); !refusal.isEmpty())
        throw OperationError(refusal);
    journalChanges();
    const EntrantPool& pool = m_model.pool;
    // Who can be drawn, in the entrant list's order, each entrant once (its first line).
    const std::vector<int> admitted =
        m_eligibility
            .candidates(slot, main ? Eligibility::Draw::Main : Eligibility::Draw::Supplementary,
                        repeatAllowed)
            .admitted();
    std::vector<int> drawable;
    QSet<QString> seen;
    QStringList shown;
    for (const int position : admitted) {
        const QString name = pool.name(position);
        if (seen.contains(name))
            continue;
        seen.insert(name);
        drawable.push_back(position);
        shown << hallText(name);
    }
    if (drawable.empty() || n <= 0)
        return {};
    const QString drawableHash = DrawDerivation::listHash(shown);
    const int entry = m_journal.count() + 1;
    const std::vector<int> picks =
        DrawDerivation::pick(m_seed, m_hall, entry, drawableHash, static_cast<int>(drawable.size()), n);
    Derived derived{entry, {}};
    QJsonArray positions;
    QJsonArray names;
    for (const int at : picks) {
        const int position = drawable[static_cast<std::size_t>(at)];
        positions.append(position);
        names.append(shown.at(at));
        derived.winners << pool.name(position);
    }
    m_journal.append({{QStringLiteral("type"), QLatin1String(type)},
                      {QStringLiteral("prize"), prize},
                      {QStringLiteral("slot"), slot + 1},
                      {QStringLiteral("count"), n},
                      {QStringLiteral("repeat"), repeatAllowed},
                      {QStringLiteral("list"), m_listHash},
                      {QStringLiteral("drawable"), DrawDerivation::ranges(drawable)},
                      {QStringLiteral("drawableHash"), drawableHash},
                      {QStringLiteral("winners"), positions},
                      {QStringLiteral("shown"), names},
                      {QStringLiteral("t"), now()}});
    m_drawn = true;
    Q_EMIT changed();
    return derived;
}

void VerifiableDraw::voidDraw(int entry, const QString& reason) {
    if (!m_on || entry <= 0)
        return;
    try {
        m_journal.append({{QStringLiteral("type"), QStringLiteral("void")},
                          {QStringLiteral("of"), entry},
                          {QStringLiteral("reason"), reason},
                          {QStringLiteral("t"), now()}});
    } catch (const OperationError&) {
        // The folder refused the draw's save too: the journal then keeps the draw, and the results
        // do not; the verifier shows a draw nobody was announced for.
    }
}

void VerifiableDraw::journalCorrection(int line, bool cancel) {
    if (!m_on || line < 0 || line >= m_lists.all().size())
        return;
    m_journal.append(
        {{QStringLiteral("type"), cancel ? QStringLiteral("cancel") : QStringLiteral("restore")},
         {QStringLiteral("prize"), m_lists.prizeAt(line)},
         {QStringLiteral("winner"), hallText(m_lists.nameAt(line))},
         {QStringLiteral("supplementary"), m_lists.all().at(line).contains(WinnerLists::kSupplementaryMark)},
         {QStringLiteral("t"), now()}});
    Q_EMIT changed(); // the proof has one more entry
}

void VerifiableDraw::journalProgress() {
    if (!m_on)
        return;
    QJsonArray winners;
    for (int i = 0; i < m_lists.all().size(); ++i)
        if (const QString name = m_lists.nameAt(i); !name.isEmpty())
            winners.append(QJsonObject{
                {QStringLiteral("prize"), m_lists.prizeAt(i)},
                {QStringLiteral("winner"), hallText(name)},
                {QStringLiteral("cancelled"), m_lists.all().at(i).contains(WinnerLists::kCancelSuffix)}});
    m_journal.append({{QStringLiteral("type"), QStringLiteral("progress")},
                      {QStringLiteral("winners"), winners},
                      {QStringLiteral("t"), now()}});
    Q_EMIT changed();
}
