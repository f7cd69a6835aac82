#pragma once
// The two datagram kinds of an image broadcast, built byte for byte. Everything here is a pure function
// of the image, so the numbering of an image of any size can be checked without sending it.
//
// Image-info datagram, 12 bytes: type 2754, block count, length; three unsigned 32-bit big-endian values.
// Data datagram, 1004 bytes: 1000 bytes of data area (the image bytes first, then zero padding), the
// sequence number and the byte count, each unsigned 16-bit big-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orva {

inline constexpr uint32_t kImageInfoType = 2754;
inline constexpr size_t kImageInfoSize = 12;
inline constexpr size_t kImageDataArea = 1000;
inline constexpr size_t kImageDataDatagramSize = 1004;

using ImageInfoDatagram = std::array<uint8_t, kImageInfoSize>;
using ImageDataDatagram = std::array<uint8_t, kImageDataDatagramSize>;

// length / 1000 + 1 from 1000 bytes on, 0 below. Gateways expect exactly this value, although it is
// one more than the number of data datagrams for an exact multiple of 1000 and 0 for a short image.
uint32_t ImageBlockCount(uint32_t length);
// How many data datagrams carry the image: length / 1000 rounded up (0 for an empty image).
size_t ImageDataDatagramCount(uint32_t length);
// Sequence number of the data datagram at `index` (0 for the first): starts at 1 and wraps from 65535
// to 0.
uint16_t ImageSequenceNumber(size_t index);
// Image bytes carried by the data datagram at `index`: 1000 for all but the last, 1 to 1000 for it.
uint16_t ImageChunkLength(uint32_t length, size_t index);
// Share of the image already sent, as an integer percentage (0 for an empty image). Computed in 64 bits:
// images beyond 42 MB would overflow 32-bit arithmetic.
int ImageProgressPercent(uint64_t sent, uint64_t length);

ImageInfoDatagram BuildImageInfoDatagram(uint32_t length);
// The data datagram at `index` of `image`; bytes after the chunk are zero.
ImageDataDatagram BuildImageDataDatagram(std::string_view image, size_t index);

} // namespace orva
