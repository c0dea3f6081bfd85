#pragma once

#include <QImage>
#include <QString>

// A QR code of a text (libqrencode, error correction level M), black on white with the quiet zone of
// four modules the standard asks for, each module `scale` pixels. A null image when it cannot be made.
QImage qrImage(const QString& text, int scale);
