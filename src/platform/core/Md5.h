#pragma once
// The MD5 digest (RFC 1321). Not for security: it names files the way other programs
// name them (the shared thumbnail cache keys its files by the MD5 of a file's URI).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

std::array<uint8_t, 16> Md5(const void* data, size_t size);
// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view text);

}  // namespace qm
