#pragma once
// SHA-256 of a byte string, as 64 lower-case hex digits (for "show --json").
#include <cstdint>
#include <span>
#include <string>

namespace quorvane::cli {

std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace quorvane::cli
