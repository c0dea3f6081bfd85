// Loading the entrant list and the pre-set winners, at three pool sizes, each against a baseline taken
// on the same file in the same run.
#include "apppaths.h"
#include "benchdata.h"
#include "randomsource.h"
#include "textcodec.h"
#include "unit1.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
int runsFor(int lines) {
    return lines >= 1'000'000 ? 7 : lines >= 100'000 ? 15 : 50;
}

int loadedPresets(const PresetWinners& presets) {
    int count = 0;
    for (int slot = 0; slot < PresetWinners::kRows; ++slot)
        for (int k = 0; k < 3; ++k)
            count += presets.entry(slot, k) >= 0;
    return count;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SeededRandom random(7);
    RandomSource::install(&random);
    BenchData::NoBoxes noBoxes;

    for (const int lines : BenchData::kPoolSizes) {
        QTemporaryDir dir;
        AppPaths::setFolder(dir.path());
        BenchData::writeEvent(dir.path(), lines);
        const QString path = AppPaths::file(AppPaths::kEntrants);
        const int runs = runsFor(lines);

        TForm1 form;
        std::printf("pool %d lines, %lld bytes, %d of 24 pre-set entries found\n", form.model().pool.count(),
                    static_cast<long long>(QFile(path).size()), loadedPresets(form.model().presets));

        const BenchData::Figures decode = BenchData::measure(runs, [&] {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", qPrintable(path));
            const QString text = TextCodec::decodeEntrantList(file.readAll());
            if (text.isEmpty())
                qFatal("nothing decoded");
        });
        BenchData::report(QStringLiteral("  baseline: read + decode"), decode);
        const BenchData::Figures load = BenchData::measure(runs, [&] { form.getdata(); });
        BenchData::report(QStringLiteral("  pool load (getdata)"), load, &decode);

        // One search through the whole pool text for a text it does not hold.
        const BenchData::Figures pass = BenchData::measure(runs, [&] {
            if (form.model().pool.text().indexOf(QStringLiteral("欧阳不在")) >= 0)
                qFatal("the missing name was found");
        });
        BenchData::report(QStringLiteral("  baseline: one search of the pool text"), pass);
        const BenchData::Figures presets = BenchData::measure(runs, [&] { form.readspecial(); });
        BenchData::report(QStringLiteral("  pre-set winners load (readspecial)"), presets, &pass);
    }
    return 0;
}
