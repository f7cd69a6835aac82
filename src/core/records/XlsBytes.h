#pragma once
// A growing little-endian byte buffer with BIFF8 record framing.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orva {

class XlsBytes {
public:
    // The most data one BIFF8 record may carry; longer contents go on in CONTINUE records.
    static constexpr std::size_t MaxRecordData = 8224;

    void put8(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
    void put16(std::uint16_t value);
    void put32(std::uint32_t value);
    void putUtf16(const std::u16string& text, std::size_t from, std::size_t count);
    void putCompressed(const std::u16string& text);
    void append(const std::string& bytes) { bytes_ += bytes; }
    void patch16(std::size_t at, std::uint16_t value);
    void patch32(std::size_t at, std::uint32_t value);

    // Starts a record with a zero length and returns its position; endRecord sets the length from what
    // was written since.
    std::size_t beginRecord(std::uint16_t id);
    void endRecord(std::size_t recordStart);
    // The number of data bytes written into the record begun at `recordStart` so far.
    std::size_t dataSize(std::size_t recordStart) const { return bytes_.size() - recordStart - 4; }

    std::size_t size() const { return bytes_.size(); }
    void reserve(std::size_t n) { bytes_.reserve(n); }
    const std::string& bytes() const { return bytes_; }
    std::string take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

} // namespace orva
