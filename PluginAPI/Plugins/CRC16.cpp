#include "PluginAPI/Plugins/CRC16.h"

#include <array>

namespace {

constexpr std::array<std::uint16_t, 256> MakeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto Table = MakeTable();

} // namespace

std::uint16_t Crc16Bytes(const void* data, std::size_t length)
{
    auto* p = static_cast<const unsigned char*>(data);
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>(Table[((crc >> 8) ^ p[i]) & 0xFF] ^ (crc << 8));
    return crc;
}

std::uint16_t Crc16Utf8(std::string_view utf8)
{
    return Crc16Bytes(utf8.data(), utf8.size());
}
