#include "iso/udf_tag.h"

#include "iso/byte_order.h"

uint16_t udf_crc(const uint8_t* bytes, size_t n)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc = static_cast<uint16_t>(crc ^ (bytes[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

namespace {

// The tag checksum: the sum of the tag's bytes but its own, modulo 256 (ECMA-167 3/7.2.3).
uint8_t checksum(const uint8_t* d)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < TAG_BYTES; ++i)
        if (i != TAG_CHECKSUM)
            sum = static_cast<uint8_t>(sum + d[i]);
    return sum;
}

}  // namespace

uint16_t tag_identifier(const uint8_t* d)
{
    return read_le16(d + TAG_IDENTIFIER);
}

uint32_t tagged_length(const uint8_t* d)
{
    return TAG_BYTES + read_le16(d + TAG_CRC_LENGTH);
}

bool tag_sound(const uint8_t* d, size_t available, const uint16_t* ids, uint32_t location, std::string& why)
{
    if (available < TAG_BYTES) {
        why = "is cut short";
        return false;
    }
    bool known = false;
    for (const uint16_t* id = ids; *id != 0; ++id)
        known = known || tag_identifier(d) == *id;
    if (!known) {
        why = "holds no descriptor of the kind expected (tag " + std::to_string(tag_identifier(d)) + ")";
        return false;
    }
    if (checksum(d) != d[TAG_CHECKSUM]) {
        why = "has a wrong tag checksum";
        return false;
    }
    if (read_le32(d + TAG_LOCATION) != location) {
        why = "names location " + std::to_string(read_le32(d + TAG_LOCATION)) + " in its tag instead of " +
              std::to_string(location);
        return false;
    }
    if (tagged_length(d) > available) {
        why = "has a CRC over more bytes than it holds";
        return false;
    }
    if (udf_crc(d + TAG_BYTES, tagged_length(d) - TAG_BYTES) != read_le16(d + TAG_CRC)) {
        why = "has a wrong CRC";
        return false;
    }
    return true;
}

void retag(uint8_t* d)
{
    write_le16(d + TAG_CRC, udf_crc(d + TAG_BYTES, tagged_length(d) - TAG_BYTES));
    d[TAG_CHECKSUM] = checksum(d);
}
