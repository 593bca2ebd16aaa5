// CRC-16/XMODEM (polynomial 0x1021, initial 0, not reflected, no final XOR).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

std::uint16_t Crc16Bytes(const void* data, std::size_t length);
// CRC of the text's UTF-8 bytes; the empty text gives 0.
std::uint16_t Crc16Utf8(std::string_view utf8);
