#include "layout.h"

#include <cstring>

namespace {

// The sync pattern that opens every raw sector (ECMA-130 14.3).
const uint8_t SYNC[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
// Offset of the mode byte in a raw sector's header.
constexpr uint32_t MODE_BYTE = 15;

const Raw_Layout ISO = {"2048-byte sectors (ISO 9660)", 2048, 0};
const Raw_Layout MODE1 = {"2352-byte sectors, mode 1", 2352, 16};
const Raw_Layout MODE2 = {"2352-byte sectors, mode 2", 2352, 24};
const Raw_Layout MODE2_2336 = {"2336-byte sectors, mode 2", 2336, 8};

// True when the primary volume descriptor's identifier lies where the layout puts sector 16.
bool descriptor_at(const uint8_t* head, uint64_t head_size, const Raw_Layout& l)
{
    const uint64_t at = 16ull * l.sector_size + l.data_offset;
    return at + 6 <= head_size && head[at] == 1 && std::memcmp(head + at + 1, "CD001", 5) == 0;
}

// The mode of the raw sectors at the head, when every probed sector has the sync pattern and
// the same mode; 0 otherwise.
int raw_mode(const uint8_t* head, uint64_t head_size)
{
    int mode = 0;
    for (uint64_t s = 0; s < PROBE_SECTORS && (s + 1) * 2352 <= head_size; ++s) {
        const uint8_t* sector = head + s * 2352;
        if (std::memcmp(sector, SYNC, sizeof SYNC) != 0)
            return 0;
        if (mode == 0)
            mode = sector[MODE_BYTE];
        else if (sector[MODE_BYTE] != mode)
            return 0;
    }
    return mode;
}

}  // namespace

bool detect_layout(const uint8_t* head, uint64_t head_size, uint64_t length, Raw_Layout& layout)
{
    if (length >= 2352 && length % 2352 == 0) {
        const int mode = raw_mode(head, head_size);
        if (mode == 1 || mode == 2) {
            layout = mode == 1 ? MODE1 : MODE2;
            return true;
        }
    }
    if (length % 2048 == 0 && descriptor_at(head, head_size, ISO)) {
        layout = ISO;
        return true;
    }
    if (length % 2336 == 0 && descriptor_at(head, head_size, MODE2_2336)) {
        layout = MODE2_2336;
        return true;
    }
    return false;
}
