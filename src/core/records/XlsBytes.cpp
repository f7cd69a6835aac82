#include "core/records/XlsBytes.h"

namespace orva {

void XlsBytes::put16(std::uint16_t value) {
    put8(static_cast<std::uint8_t>(value));
    put8(static_cast<std::uint8_t>(value >> 8));
}

void XlsBytes::put32(std::uint32_t value) {
    put16(static_cast<std::uint16_t>(value));
    put16(static_cast<std::uint16_t>(value >> 16));
}

void XlsBytes::putUtf16(const std::u16string& text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        put16(text[i]);
}

void XlsBytes::putCompressed(const std::u16string& text) {
    for (const char16_t unit : text)
        put8(static_cast<std::uint8_t>(unit));
}

void XlsBytes::patch16(std::size_t at, std::uint16_t value) {
    bytes_[at] = static_cast<char>(value & 0xFF);
    bytes_[at + 1] = static_cast<char>(value >> 8);
}

void XlsBytes::patch32(std::size_t at, std::uint32_t value) {
    patch16(at, static_cast<std::uint16_t>(value));
    patch16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::size_t XlsBytes::beginRecord(std::uint16_t id) {
    const std::size_t start = bytes_.size();
    put16(id);
    put16(0);
    return start;
}

void XlsBytes::endRecord(std::size_t recordStart) {
    patch16(recordStart + 2, static_cast<std::uint16_t>(dataSize(recordStart)));
}

} // namespace orva
