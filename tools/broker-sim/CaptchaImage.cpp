#include "tools/broker-sim/CaptchaImage.h"

#include <QBuffer>
#include <QImage>
#include <array>
#include <openssl/rand.h>

namespace brokersim {

namespace {

// 5 x 7 glyphs of the digits, one byte per row, the low five bits used.
constexpr std::array<std::array<quint8, 7>, 10> kGlyphs { {
    { 0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E },
    { 0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E },
    { 0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F },
    { 0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E },
    { 0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02 },
    { 0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E },
    { 0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E },
    { 0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08 },
    { 0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E },
    { 0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C },
} };

constexpr int kScale = 3;

class Noise {
public:
    Noise()
    {
        if (RAND_bytes(bytes_.data(), int(bytes_.size())) != 1)
            bytes_.fill(0x5A);
    }
    int next(int bound)
    {
        const int v = bytes_[pos_ % bytes_.size()];
        ++pos_;
        return bound > 0 ? v % bound : 0;
    }

private:
    std::array<unsigned char, 512> bytes_ {};
    size_t pos_ = 0;
};

void plot(QImage& image, int x, int y, QRgb colour)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        image.setPixel(x, y, colour);
}

void line(QImage& image, int x0, int y0, int x1, int y1, QRgb colour)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        plot(image, x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace

QByteArray captchaPng(const QString& digits)
{
    Noise noise;
    QImage image(kCaptchaWidth, kCaptchaHeight, QImage::Format_RGB32);
    image.fill(qRgb(236 + noise.next(16), 236 + noise.next(16), 226 + noise.next(20)));

    const int glyphWidth = 5 * kScale;
    const int step = glyphWidth + 3;
    const qsizetype count = std::min<qsizetype>(digits.size(), (kCaptchaWidth - 4) / step);
    int x = (kCaptchaWidth - int(count) * step + 3) / 2;
    for (qsizetype i = 0; i < count; ++i, x += step) {
        const char16_t c = digits[i].unicode();
        if (c < u'0' || c > u'9')
            continue;
        const auto& glyph = kGlyphs[c - u'0'];
        const int top = 2 + noise.next(kCaptchaHeight - 7 * kScale - 3);
        const QRgb ink = qRgb(20 + noise.next(100), 20 + noise.next(100), 60 + noise.next(120));
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (!(glyph[size_t(row)] & (0x10 >> col)))
                    continue;
                for (int dy = 0; dy < kScale; ++dy) {
                    for (int dx = 0; dx < kScale; ++dx)
                        plot(image, x + col * kScale + dx, top + row * kScale + dy, ink);
                }
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        line(image, noise.next(kCaptchaWidth), noise.next(kCaptchaHeight), noise.next(kCaptchaWidth),
            noise.next(kCaptchaHeight), qRgb(noise.next(200), noise.next(200), noise.next(200)));
    }
    for (int i = 0; i < 60; ++i)
        plot(image, noise.next(kCaptchaWidth), noise.next(kCaptchaHeight), qRgb(noise.next(256), 90, 90));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace brokersim
