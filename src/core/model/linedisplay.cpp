#include "linedisplay.h"

#include "configstore.h"
#include "entrantfields.h"

#include <QVarLengthArray>
#include <algorithm>

namespace {
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), isDigit);
}

QString codePoint(char32_t point) {
    return QString::fromUcs4(&point, 1);
}
} // namespace

bool LineDisplay::isMobile(QStringView field) {
    return field.size() == 11 && field.front() == u'1' && allDigits(field);
}

bool LineDisplay::isIdNumber(QStringView field) {
    if (field.size() != 18 || !allDigits(field.first(17)))
        return false;
    const QChar last = field.back();
    return isDigit(last) || last == u'X' || last == u'x';
}

QString LineDisplay::partlyHidden(QStringView field) {
    if (isMobile(field))
        return field.first(3).toString() + QStringLiteral("****") + field.last(4).toString();
    if (isIdNumber(field))
        return field.first(6).toString() + QString(8, u'*') + field.last(4).toString();
    // Characters, not UTF-16 units: a name with a character beyond the BMP (𠮷田) keeps it whole.
    const QList<uint> points = field.toUcs4();
    if (points.size() <= 1)
        return QStringLiteral("*");
    if (points.size() == 2)
        return codePoint(points.first()) + u'*';
    return codePoint(points.first()) + QString(points.size() - 2, u'*') + codePoint(points.last());
}

LineDisplay::Choice LineDisplay::suggestedFor(const QList<QStringView>& values) {
    int filled = 0;
    int numbers = 0;
    for (QStringView value : values) {
        if (value.trimmed().isEmpty())
            continue;
        ++filled;
        if (isMobile(value.trimmed()) || isIdNumber(value.trimmed()))
            ++numbers;
    }
    return numbers > 0 && 2 * numbers >= filled ? Choice::Partial : Choice::Show;
}

QStringList LineDisplay::choiceNames() {
    return {QStringLiteral("显示"), QStringLiteral("部分隐藏"), QStringLiteral("隐藏")};
}

std::optional<LineDisplay::Choice> LineDisplay::chosen(int position) const {
    const int value = position >= 0 && position < m_choices.size() ? m_choices.at(position) : -1;
    if (value < 0)
        return std::nullopt;
    return static_cast<Choice>(value);
}

void LineDisplay::choose(int position, std::optional<Choice> choice) {
    if (position < 0 || position >= kMaxPositions)
        return;
    if (choice) {
        while (m_choices.size() <= position)
            m_choices.append(-1);
        m_choices[position] = static_cast<int>(*choice);
    } else if (position < m_choices.size()) {
        m_choices[position] = -1;
    }
    while (!m_choices.isEmpty() && m_choices.constLast() < 0)
        m_choices.removeLast();
}

void LineDisplay::chooseShown(int position, Choice shown, Choice suggested) {
    if (shown == Choice::Show && suggested == Choice::Show && !chosen(position))
        return;
    choose(position, shown);
}

LineDisplay::Choice LineDisplay::choiceFor(int position, QStringView field, int fields) const {
    if (const std::optional<Choice> choice = chosen(position))
        return *choice;
    // A list of one field a line is a list of names (or of numbers) as written: nothing of it is
    // hidden unless the organiser says so.
    if (fields > 1 && (isMobile(field) || isIdNumber(field)))
        return Choice::Partial;
    return Choice::Show;
}

QString LineDisplay::hallText(const QString& line) const {
    struct Field {
        qsizetype start;
        qsizetype end;
        Choice choice;
    };
    QVarLengthArray<Field, 16> fields;
    const QStringView view(line);
    EntrantFields::forEachField(view, [&](QStringView field) {
        const qsizetype start = field.data() - view.data();
        fields.append({start, start + field.size(), Choice::Show});
    });
    bool changes = false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        Field& f = fields[i];
        f.choice = choiceFor(int(i), view.sliced(f.start, f.end - f.start), int(fields.size()));
        changes = changes || f.choice != Choice::Show;
    }
    if (!changes)
        return line;

    // The blanks before the first field and after the last stay; a field left out takes the
    // separator before it along (the one after it, when it is the first).
    QString shown = line.left(fields.isEmpty() ? 0 : fields.front().start);
    bool kept = false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (f.choice == Choice::Hide)
            continue;
        if (kept)
            shown += view.sliced(fields[i - 1].end, f.start - fields[i - 1].end);
        const QStringView text = view.sliced(f.start, f.end - f.start);
        if (f.choice == Choice::Partial)
            shown += partlyHidden(text);
        else
            shown += text;
        kept = true;
    }
    shown += view.sliced(fields.back().end);
    return shown;
}

QString LineDisplay::hallTextWithin(const QString& text, const QString& entrant, qsizetype from) const {
    if (entrant.isEmpty())
        return text;
    const qsizetype at = text.indexOf(entrant, std::max<qsizetype>(0, from));
    if (at < 0)
        return text;
    const QString shown = hallText(entrant);
    if (shown == entrant)
        return text;
    return text.left(at) + shown + text.mid(at + entrant.size());
}

LineDisplay LineDisplay::read(const ConfigStore& store) {
    LineDisplay display;
    const QStringList values = store.readString(kSection, kFieldsKey, QString()).split(u',');
    for (int position = 0; position < std::min<int>(int(values.size()), kMaxPositions); ++position) {
        bool ok = false;
        const int value = values.at(position).trimmed().toInt(&ok);
        // A value edited into something else is automatic.
        if (ok && value >= 0 && value <= static_cast<int>(Choice::Hide))
            display.choose(position, static_cast<Choice>(value));
    }
    return display;
}

void LineDisplay::write(ConfigStore& store) const {
    // All automatic, and nothing there before: a prize.db of before stays as it is.
    if (isAutomatic() && !store.contains(kSection, kFieldsKey))
        return;
    QStringList values;
    for (const int value : m_choices)
        values << (value < 0 ? QString() : QString::number(value));
    store.writeStrings(kSection, {{kFieldsKey, values.join(u',')}});
}
