#include "gui/controls/GifInfo.h"

namespace orva {

namespace {

class Cursor {
public:
    explicit Cursor(const QByteArray& d) : d_(d) {}
    bool has(qsizetype n) const { return pos_ + n <= d_.size(); }
    int byte() { return has(1) ? quint8(d_[pos_++]) : -1; }
    int word() {
        if (!has(2))
            return -1;
        const int v = quint8(d_[pos_]) | (quint8(d_[pos_ + 1]) << 8);
        pos_ += 2;
        return v;
    }
    bool skip(qsizetype n) {
        if (!has(n))
            return false;
        pos_ += n;
        return true;
    }
    // Data sub-blocks up to and including the zero-length terminator.
    bool skipSubBlocks() {
        for (;;) {
            const int len = byte();
            if (len < 0)
                return false;
            if (len == 0)
                return true;
            if (!skip(len))
                return false;
        }
    }
    const char* at() const { return d_.constData() + pos_; }

private:
    const QByteArray& d_;
    qsizetype pos_ = 0;
};

} // namespace

std::optional<GifInfo> ScanGif(const QByteArray& data) {
    if (!data.startsWith("GIF"))
        return std::nullopt;
    Cursor c(data);
    if (!c.skip(6)) // "GIF" and a version we do not judge
        return std::nullopt;
    GifInfo info;
    const int w = c.word();
    const int h = c.word();
    const int packed = c.byte();
    const int bgIndex = c.byte();
    if (c.byte() < 0)
        return std::nullopt;
    info.screen = QSize(w, h);
    if (packed & 0x80) {
        const int entries = 1 << ((packed & 7) + 1);
        if (!c.has(3 * entries))
            return std::nullopt;
        if (bgIndex < entries) {
            const auto* rgb = reinterpret_cast<const quint8*>(c.at()) + 3 * bgIndex;
            info.background = QColor(rgb[0], rgb[1], rgb[2]);
        }
        c.skip(3 * entries);
    }
    int pendingDelay = 0;
    for (;;) {
        const int block = c.byte();
        if (block == 0x21) {
            const int label = c.byte();
            if (label == 0xF9) {
                const int size = c.byte();
                if (size >= 4 && c.has(size)) {
                    c.byte(); // disposal and flags: the reader composes frames itself
                    pendingDelay = c.word();
                    c.skip(size - 3);
                } else if (size < 0 || !c.skip(size)) {
                    break;
                }
            }
            if (label < 0 || !c.skipSubBlocks())
                break;
        } else if (block == 0x2C) {
            if (!c.skip(8))
                break;
            const int imgPacked = c.byte();
            if (imgPacked < 0)
                break;
            if ((imgPacked & 0x80) && !c.skip(3 * (1 << ((imgPacked & 7) + 1))))
                break;
            if (c.byte() < 0 || !c.skipSubBlocks())
                break;
            info.delaysCs.append(pendingDelay);
            pendingDelay = 0;
        } else {
            break; // trailer, end of data or damage
        }
    }
    if (info.delaysCs.isEmpty())
        return std::nullopt;
    return info;
}

} // namespace orva
