// An entrant list of any bytes: the decoder takes it (GBK or UTF-8), and the pool's lines are exactly
// the lines the file splitter finds, none holding a line break, each found again from its position.
#include "entrantpool.h"
#include "textcodec.h"
#include "textfiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = TextCodec::decodeEntrantList(bytes);
    const QStringList lines = TextFiles::splitLines(text);

    EntrantPool pool;
    pool.setText(text);
    if (pool.count() != lines.size())
        std::abort();
    qsizetype position = 0;
    for (int i = 0; i < pool.count(); ++i) {
        const QStringView line = pool.line(i);
        if (line != lines.at(i) || line.contains(u'\r') || line.contains(u'\n'))
            std::abort();
        if (!line.isEmpty() && pool.lineAt(position) != i)
            std::abort();
        position += line.size() + 1;
        if (position < text.size() && text.at(position - 1) == u'\r' && text.at(position) == u'\n')
            ++position;
        const QString name = pool.name(i);
        if (!name.isEmpty() && (name.front().unicode() <= 0x20 || name.back().unicode() <= 0x20))
            std::abort();
    }
    // What the program writes back reads as the same lines.
    if (!lines.isEmpty() && TextFiles::splitLines(TextCodec::fromGbk(TextFiles::joinCrLf(lines))) != lines &&
        TextCodec::fromGbk(TextCodec::toGbk(text)) == text)
        std::abort();
    return 0;
}
