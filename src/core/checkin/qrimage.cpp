#include "qrimage.h"

#include <qrencode.h>

#include <memory>

QImage qrImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || scale < 1)
        return {};
    constexpr int kQuiet = 4;
    const int modules = code->width + 2 * kQuiet;
    QImage image(modules * scale, modules * scale, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x) {
            if (!(code->data[y * code->width + x] & 1))
                continue;
            for (int dy = 0; dy < scale; ++dy) {
                uchar* row = image.scanLine((y + kQuiet) * scale + dy);
                std::fill_n(row + (x + kQuiet) * scale, scale, uchar(0));
            }
        }
    return image;
}
