// The cipher text of the pre-set winners, as pasted into prize.db by hand: decoding any bytes either
// gives plain bytes or fails with the program's error, and encoding then decoding gives the plain
// bytes back (for the bytes text is made of: the sums are taken mod 255, so the bytes 0 and 255,
// which no GBK text holds, have no code of their own).
#include "functionunit.h"
#include "operationerror.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte splits the input into a key and the text.
    const size_t keyLength = data[0] % 16;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const size_t restSize = size - 1;
    const QByteArray key(rest, static_cast<qsizetype>(std::min(keyLength, restSize)));
    const QByteArray text(rest + key.size(),
                          static_cast<qsizetype>(restSize - static_cast<size_t>(key.size())));

    try {
        const QByteArray plain = FunctionUnit::decodeBytes(text, key);
        if (plain.size() > text.size())
            std::abort();
    } catch (const OperationError&) {
    }
    try {
        FunctionUnit::decode(QString::fromUtf8(text), QString::fromUtf8(key));
    } catch (const OperationError&) {
    }

    QByteArray plain = text;
    for (char& c : plain) {
        if (c == '\0')
            c = '\1';
        else if (static_cast<unsigned char>(c) == 0xFF)
            c = '\xFE';
    }
    const QByteArray cipher = FunctionUnit::encodeBytes(plain, key, data[0]);
    if (cipher.size() != 2 + 2 * plain.size())
        std::abort();
    if (!plain.isEmpty() && FunctionUnit::decodeBytes(cipher, key) != plain)
        std::abort();
    return 0;
}
