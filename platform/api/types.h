#pragma once
// Scalar types of the macOS system interfaces, declared for the Linux and
// simulated layers. Widths match the macOS 64-bit ABI.
#include <cstddef>
#include <cstdint>

using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using UInt64 = std::uint64_t;
using SInt32 = std::int32_t;
using Float32 = float;
using Float64 = double;
using Byte = std::uint8_t;
using Boolean = unsigned char;
using OSStatus = std::int32_t;
using OSType = UInt32;
using FourCharCode = UInt32;
using ItemCount = unsigned long;
using ByteCount = unsigned long;

constexpr OSStatus noErr = 0;

// 'nsrt' -> 0x6E737274: first character in the most significant byte.
constexpr UInt32 fourCharCode(const char (&code)[5]) {
  return (UInt32(UInt8(code[0])) << 24) | (UInt32(UInt8(code[1])) << 16) |
         (UInt32(UInt8(code[2])) << 8) | UInt32(UInt8(code[3]));
}
