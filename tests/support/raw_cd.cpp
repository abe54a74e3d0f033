#include "raw_cd.h"

namespace fixture {

namespace {

uint8_t bcd(unsigned v)
{
    return static_cast<uint8_t>(((v / 10) << 4) | (v % 10));
}

// Sync pattern and header (ECMA-130 14.3, 14.4) of sector lba.
void header(std::vector<uint8_t>& out, uint32_t lba, uint8_t mode)
{
    out.push_back(0x00);
    out.insert(out.end(), 10, 0xFF);
    out.push_back(0x00);
    const uint32_t a = lba + 150;  // two seconds of lead-in
    out.push_back(bcd(a / (75 * 60)));
    out.push_back(bcd((a / 75) % 60));
    out.push_back(bcd(a % 75));
    out.push_back(mode);
}

}  // namespace

std::vector<uint8_t> wrap_raw(const std::vector<uint8_t>& iso, Raw_Kind kind)
{
    const uint8_t subheader[8] = {0, 0, 0x08, 0, 0, 0, 0x08, 0};  // form 1, data
    std::vector<uint8_t> out;
    for (size_t lba = 0; lba * 2048 < iso.size(); ++lba) {
        const uint8_t* data = iso.data() + lba * 2048;
        if (kind != Raw_Kind::Mode2_2336)
            header(out, static_cast<uint32_t>(lba), kind == Raw_Kind::Mode1_2352 ? 1 : 2);
        if (kind != Raw_Kind::Mode1_2352)
            out.insert(out.end(), subheader, subheader + 8);
        out.insert(out.end(), data, data + 2048);
        out.insert(out.end(), kind == Raw_Kind::Mode1_2352 ? 288 : 280, 0);
    }
    return out;
}

}  // namespace fixture
