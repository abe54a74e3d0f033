#pragma once
// Wraps an ISO 9660 image of 2048-byte sectors into raw CD sectors, as a disc reader that
// keeps every byte of a sector would store them.

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// Raw sector layouts.
enum class Raw_Kind { Mode1_2352, Mode2_2352, Mode2_2336 };

// The raw image of iso in the given layout (EDC and ECC left zero).
std::vector<uint8_t> wrap_raw(const std::vector<uint8_t>& iso, Raw_Kind kind);

}  // namespace fixture
