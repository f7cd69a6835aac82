#include "core/maintenance/ImageDatagrams.h"

#include <algorithm>
#include <cstring>

namespace orva {

namespace {

void PutBig32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

void PutBig16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

} // namespace

uint32_t ImageBlockCount(uint32_t length) {
    return length >= kImageDataArea ? static_cast<uint32_t>(length / kImageDataArea + 1) : 0;
}

size_t ImageDataDatagramCount(uint32_t length) {
    return (static_cast<size_t>(length) + kImageDataArea - 1) / kImageDataArea;
}

uint16_t ImageSequenceNumber(size_t index) {
    return static_cast<uint16_t>((index + 1) & 0xFFFF);
}

uint16_t ImageChunkLength(uint32_t length, size_t index) {
    const uint64_t offset = static_cast<uint64_t>(index) * kImageDataArea;
    if (offset >= length)
        return 0;
    return static_cast<uint16_t>(std::min<uint64_t>(length - offset, kImageDataArea));
}

int ImageProgressPercent(uint64_t sent, uint64_t length) {
    if (length == 0)
        return 0;
    return static_cast<int>(std::min<uint64_t>(sent, length) * 100 / length);
}

ImageInfoDatagram BuildImageInfoDatagram(uint32_t length) {
    ImageInfoDatagram d{};
    PutBig32(d.data(), kImageInfoType);
    PutBig32(d.data() + 4, ImageBlockCount(length));
    PutBig32(d.data() + 8, length);
    return d;
}

ImageDataDatagram BuildImageDataDatagram(std::string_view image, size_t index) {
    ImageDataDatagram d{};
    const uint16_t count = ImageChunkLength(static_cast<uint32_t>(image.size()), index);
    if (count > 0)
        std::memcpy(d.data(), image.data() + index * kImageDataArea, count);
    PutBig16(d.data() + kImageDataArea, ImageSequenceNumber(index));
    PutBig16(d.data() + kImageDataArea + 2, count);
    return d;
}

} // namespace orva
