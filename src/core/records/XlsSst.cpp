#include "core/records/XlsSst.h"

#include "core/records/XlsText.h"

#include <algorithm>

namespace orva {

namespace {

constexpr std::uint16_t SstId = 0x00FC;
constexpr std::uint16_t ContinueId = 0x003C;
constexpr std::uint8_t Utf16Flag = 0x01;
// Character count and option flags.
constexpr std::size_t StringHeader = 3;

} // namespace

std::uint32_t XlsSst::add(const std::string& text) {
    ++total_;
    const auto [it, inserted] = index_.try_emplace(text, static_cast<std::uint32_t>(texts_.size()));
    if (inserted) {
        std::u16string units = Utf8ToUtf16(text);
        units.resize(Utf16CutLength(units, MaxTextUnits));
        texts_.push_back(std::move(units));
    }
    return it->second;
}

void XlsSst::write(XlsBytes& out) const {
    std::size_t record = out.beginRecord(SstId);
    out.put32(total_);
    out.put32(uniqueCount());
    const auto room = [&] { return XlsBytes::MaxRecordData - out.dataSize(record); };
    const auto nextRecord = [&] {
        out.endRecord(record);
        record = out.beginRecord(ContinueId);
    };

    for (const std::u16string& text : texts_) {
        // A string starts where its header and its first character (a whole surrogate pair) fit.
        std::size_t firstChar = 0;
        if (!text.empty())
            firstChar = (text.size() >= 2 && IsHighSurrogate(text[0])) ? 4 : 2;
        if (room() < StringHeader + firstChar)
            nextRecord();
        out.put16(static_cast<std::uint16_t>(text.size()));
        out.put8(Utf16Flag);

        std::size_t written = 0;
        for (;;) {
            std::size_t take = std::min(room() / 2, text.size() - written);
            if (written + take < text.size() && take > 0 && IsHighSurrogate(text[written + take - 1]))
                --take;
            out.putUtf16(text, written, take);
            written += take;
            if (written == text.size())
                break;
            nextRecord();
            out.put8(Utf16Flag);
        }
    }
    out.endRecord(record);
}

} // namespace orva
