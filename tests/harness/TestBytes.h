// Builders for the files tests make byte by byte: little- and big-endian
// numbers and PNG chunks, appended to a std::string or a std::vector of
// bytes. Portable: the native and the Windows tests share it.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <type_traits>

namespace harness {

template <class Bytes>
void Put16(Bytes& b, std::uint32_t v) {
    using T = typename Bytes::value_type;
    b.push_back(static_cast<T>(v & 0xFF));
    b.push_back(static_cast<T>((v >> 8) & 0xFF));
}

template <class Bytes>
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

template <class Bytes>
void Put32BE(Bytes& b, std::uint32_t v) {
    using T = typename Bytes::value_type;
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<T>((v >> shift) & 0xFF));
}

// A PNG chunk: the data's length, the four-letter type, the data and the CRC
// of type and data.
template <class Bytes>
void PutPngChunk(Bytes& file, const char* type, const std::type_identity_t<Bytes>& data) {
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    Put32BE(file, static_cast<std::uint32_t>(data.size()));
    file.insert(file.end(), body.begin(), body.end());
    Put32BE(file, static_cast<std::uint32_t>(
                      ::crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace harness
