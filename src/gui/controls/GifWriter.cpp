#include "gui/controls/GifWriter.h"

#include <unordered_map>

namespace orva::skin {

namespace {

void put16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// Codes go out least significant bit first, packed into bytes.
class BitWriter {
public:
    void put(int code, int width) {
        acc_ |= quint32(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_.append(char(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    QByteArray finish() {
        if (bits_ > 0)
            bytes_.append(char(acc_ & 0xFF));
        acc_ = 0;
        bits_ = 0;
        return bytes_;
    }

private:
    QByteArray bytes_;
    quint32 acc_ = 0;
    int bits_ = 0;
};

// Variable-width LZW as GIF uses it: a clear code first, codes grow to 12 bits, a full table is cleared.
QByteArray lzw(const QVector<quint8>& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int eoi = clear + 1;
    int next = eoi + 1;
    int width = minCodeSize + 1;
    std::unordered_map<int, int> table;
    BitWriter bits;
    bits.put(clear, width);
    if (indices.isEmpty()) {
        bits.put(eoi, width);
        return bits.finish();
    }
    int prefix = indices[0];
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const int k = indices[i];
        const int key = (prefix << 8) | k;
        const auto it = table.find(key);
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        bits.put(prefix, width);
        if (next < 4096) {
            // The reader adds this entry one code later; it widens once the new code no longer fits.
            if (next == (1 << width) && width < 12)
                ++width;
            table.emplace(key, next++);
        } else {
            bits.put(clear, width);
            table.clear();
            next = eoi + 1;
            width = minCodeSize + 1;
        }
        prefix = k;
    }
    bits.put(prefix, width);
    // The reader adds one more entry on that last code and may widen before it reads the end code.
    if (next == (1 << width) && width < 12 && next > eoi + 1)
        ++width;
    bits.put(eoi, width);
    return bits.finish();
}

} // namespace

QByteArray EncodeGif(int width, int height, const QList<QColor>& palette, const QList<GifFrame>& frames,
                     int backgroundIndex) {
    int sizeBits = 1;
    while ((1 << sizeBits) < palette.size() && sizeBits < 8)
        ++sizeBits;
    const int entries = 1 << sizeBits;

    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out.append(char(0x80 | ((sizeBits - 1) << 4) | (sizeBits - 1))); // global table, its size
    out.append(char(backgroundIndex));
    out.append(char(0));
    for (int i = 0; i < entries; ++i) {
        const QColor c = i < palette.size() ? palette[i] : QColor(Qt::black);
        out.append(char(c.red()));
        out.append(char(c.green()));
        out.append(char(c.blue()));
    }
    if (frames.size() > 1) {
        // Loop for ever.
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        put16(out, 0);
        out.append(char(0));
    }
    const int minCodeSize = std::max(2, sizeBits);
    for (const GifFrame& f : frames) {
        out.append("\x21\xF9\x04", 3);
        out.append(char(1 << 2)); // leave the frame in place
        put16(out, f.delayCs);
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2C));
        put16(out, 0);
        put16(out, 0);
        put16(out, width);
        put16(out, height);
        out.append(char(0));
        out.append(char(minCodeSize));
        const QByteArray data = lzw(f.indices, minCodeSize);
        for (qsizetype pos = 0; pos < data.size(); pos += 255) {
            const qsizetype n = std::min<qsizetype>(255, data.size() - pos);
            out.append(char(n));
            out.append(data.constData() + pos, n);
        }
        out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
}

} // namespace orva::skin
