#include "udf_disc.h"

#include <cstring>
#include <functional>
#include <vector>

#include "iso/byte_order.h"
#include "iso/udf_tag.h"
#include "iso_fixture.h"

namespace fixture {

using namespace udf;

namespace {

using Bytes = std::vector<uint8_t>;

// Finishes a descriptor's tag: identifier, version 2, location, CRC over length - 16 bytes.
void tag(Bytes& d, size_t at, uint16_t id, uint32_t location, size_t length)
{
    write_le16(&d[at], id);
    write_le16(&d[at + 2], 2);
    write_le16(&d[at + TAG_CRC_LENGTH], static_cast<uint16_t>(length - TAG_BYTES));
    write_le32(&d[at + TAG_LOCATION], location);
    retag(&d[at]);
}

// A sector holding one descriptor of length bytes.
Bytes descriptor(uint16_t id, uint32_t location, size_t length, const std::function<void(Bytes&)>& fill)
{
    Bytes d(SECTOR, 0);
    fill(d);
    tag(d, 0, id, location, length);
    return d;
}

// An identifier (OSTA "*" entity, UDF 2.1.5) at p.
void regid(uint8_t* p, const char* id)
{
    std::memcpy(p + 1, id, std::strlen(id));
}

// A file entry (4/14.9) at block with short_ads, for a file or a directory.
Bytes file_entry(uint32_t block, bool directory, uint64_t length, const std::vector<std::pair<uint32_t, uint32_t>>& ads)
{
    return descriptor(TAG_FILE_ENTRY, block, 176 + 8 * ads.size(), [&](Bytes& d) {
        write_le16(&d[20], 4);                   // strategy 4
        write_le16(&d[24], 1);                   // one entry
        d[27] = directory ? 4 : 5;               // file type
        write_le16(&d[34], 0);                   // short_ads
        write_le32(&d[36], 0xFFFFFFFF);          // uid
        write_le32(&d[40], 0xFFFFFFFF);          // gid
        write_le32(&d[44], 0x7FFF);              // permissions
        write_le16(&d[48], 1);                   // links
        write_le64(&d[56], length);
        write_le64(&d[64], (length + SECTOR - 1) / SECTOR);
        regid(&d[128], "*vintrel fixture");
        write_le32(&d[172], static_cast<uint32_t>(8 * ads.size()));
        for (size_t i = 0; i < ads.size(); ++i) {
            write_le32(&d[176 + 8 * i], ads[i].first);
            write_le32(&d[180 + 8 * i], ads[i].second);
        }
    });
}

// One file identifier (4/14.4) for the entry at block, appended to a directory's bytes.
void identifier(Bytes& dir, uint32_t first_block, uint8_t characteristics, const std::string& name, uint32_t block)
{
    const size_t name_length = name.empty() ? 0 : name.size() + 1;
    const size_t length = (38 + name_length + 3) & ~size_t(3);
    const size_t at = dir.size();
    dir.resize(at + length, 0);
    write_le16(&dir[at + 16], 1);
    dir[at + 18] = characteristics;
    dir[at + 19] = static_cast<uint8_t>(name_length);
    write_le32(&dir[at + 20], SECTOR);
    write_le32(&dir[at + 24], block);
    if (!name.empty()) {
        dir[at + 38] = 8;
        std::memcpy(&dir[at + 39], name.data(), name.size());
    }
    tag(dir, at, TAG_FILE_IDENTIFIER, first_block + static_cast<uint32_t>(at / SECTOR), length);
}

// The character set of every UDF name (UDF 2.1.2): CS0, "OSTA Compressed Unicode".
void charspec(uint8_t* p)
{
    std::memcpy(p + 1, "OSTA Compressed Unicode", 23);
}

// A d-string (1/7.2.12) of size bytes holding name in 8-bit compressed unicode.
void dstring(uint8_t* p, size_t size, const char* name)
{
    const size_t n = std::strlen(name);
    p[0] = 8;
    std::memcpy(p + 1, name, n);
    p[size - 1] = static_cast<uint8_t>(n + 1);
}

// Relative block of an absolute sector.
uint32_t rel(uint32_t sector)
{
    return sector - PARTITION;
}

}  // namespace

void udf_disc(const std::string& path, bool bad_crc, bool end_anchor)
{
    Image img = create(path, SECTORS);
    // The ISO 9660 side.
    descriptor(img, ISO_ROOT, SECTOR, SECTORS);
    directory(img, ISO_ROOT, {self(ISO_ROOT), parent(ISO_ROOT), dir("DATA", ISO_DATA, SECTOR), file("SYSTEM.CNF;1", CNF, CNF_SIZE)});
    directory(img, ISO_DATA, {self(ISO_DATA), parent(ISO_ROOT), file("A.BIN;1", A, A_SIZE), file("B.BIN;1", B, B_SIZE)});
    data(img, CNF, CNF_SIZE, 7);
    data(img, A, A_SIZE, 1);
    data(img, B, B_SIZE, 2);

    // Volume recognition sequence after the terminator (2/9.1).
    for (const auto& [sector, id] : std::vector<std::pair<uint32_t, const char*>>{{18, "BEA01"}, {19, "NSR02"}, {20, "TEA01"}}) {
        Bytes s(SECTOR, 0);
        std::memcpy(&s[1], id, 5);
        s[6] = 1;
        put(img, uint64_t(sector) * SECTOR, s);
    }
    // Main sequence at 32, reserve at 48: primary, partition, logical volume, terminator.
    for (uint32_t seq : {32u, 48u}) {
        put(img, uint64_t(seq) * SECTOR, descriptor(TAG_PRIMARY, seq, 512, [](Bytes& d) {
                dstring(&d[24], 32, "FIXTURE");
                write_le16(&d[56], 1);  // volume sequence number, and of how many
                write_le16(&d[58], 1);
                write_le16(&d[60], 2);  // interchange level
                write_le16(&d[62], 2);
                write_le32(&d[64], 1);  // character set list
                write_le32(&d[68], 1);
                dstring(&d[72], 128, "FIXTURE");
                charspec(&d[200]);
                charspec(&d[264]);
                regid(&d[388], "*vintrel fixture");
            }));
        put(img, uint64_t(seq + 1) * SECTOR, descriptor(TAG_IMPLEMENTATION_USE, seq + 1, 512, [](Bytes& d) {
                write_le32(&d[16], 1);
                regid(&d[20], "*UDF LV Info");
                charspec(&d[52]);
                dstring(&d[116], 128, "FIXTURE");
            }));
        put(img, uint64_t(seq + 2) * SECTOR, descriptor(TAG_PARTITION, seq + 2, 512, [](Bytes& d) {
                write_le16(&d[20], 1);  // flags: allocated
                regid(&d[24], "+NSR02");
                write_le32(&d[184], 1);  // read-only
                write_le32(&d[188], PARTITION);
                write_le32(&d[192], PARTITION_LENGTH);
            }));
        put(img, uint64_t(seq + 3) * SECTOR, descriptor(TAG_LOGICAL_VOLUME, seq + 3, 446, [](Bytes& d) {
                charspec(&d[20]);
                dstring(&d[84], 128, "FIXTURE");
                write_le32(&d[212], SECTOR);
                regid(&d[216], "*OSTA UDF Compliant");
                write_le16(&d[216 + 24], 0x0102);
                write_le32(&d[248], 2 * SECTOR);  // file set descriptor: two blocks from block 0
                write_le32(&d[264], 6);
                write_le32(&d[268], 1);
                write_le32(&d[432], SECTOR);  // integrity sequence at 64
                write_le32(&d[436], 64);
                d[440] = 1;  // partition map type 1
                d[441] = 6;
                write_le16(&d[442], 1);
            }));
        put(img, uint64_t(seq + 4) * SECTOR, descriptor(TAG_UNALLOCATED_SPACE, seq + 4, 24, [](Bytes&) {}));
        put(img, uint64_t(seq + 5) * SECTOR, descriptor(TAG_TERMINATING, seq + 5, 512, [](Bytes&) {}));
    }
    put(img, 64ull * SECTOR, descriptor(TAG_INTEGRITY, 64, 80 + 8 + 46, [](Bytes& d) {
            write_le32(&d[28], 1);  // closed
            write_le32(&d[72], 1);
            write_le32(&d[76], 46);
            write_le32(&d[80], 0);
            write_le32(&d[84], PARTITION_LENGTH);
            regid(&d[88], "*vintrel fixture");
        }));
    const Bytes anchor_fields = [] {
        Bytes d(SECTOR, 0);
        write_le32(&d[16], 16 * SECTOR);
        write_le32(&d[20], 32);
        write_le32(&d[24], 16 * SECTOR);
        write_le32(&d[28], 48);
        return d;
    }();
    std::vector<uint32_t> anchors = {256u, SECTORS - 1};
    if (end_anchor)
        anchors.push_back(SECTORS - 256);
    for (uint32_t at : anchors) {
        Bytes a = anchor_fields;
        tag(a, 0, TAG_ANCHOR, at, 512);
        put(img, uint64_t(at) * SECTOR, a);
    }

    // The file set and the tree.
    put(img, uint64_t(FILE_SET) * SECTOR, descriptor(TAG_FILE_SET, 0, 512, [](Bytes& d) {
            write_le16(&d[28], 3);
            write_le16(&d[30], 3);
            write_le32(&d[32], 1);
            write_le32(&d[36], 1);
            charspec(&d[48]);
            dstring(&d[112], 128, "FIXTURE");
            charspec(&d[240]);
            dstring(&d[304], 32, "FIXTURE");
            write_le32(&d[400], SECTOR);
            write_le32(&d[404], rel(ROOT_ENTRY));
            regid(&d[416], "*OSTA UDF Compliant");
        }));
    put(img, uint64_t(FILE_SET + 1) * SECTOR, descriptor(TAG_TERMINATING, 1, 512, [](Bytes&) {}));
    Bytes root;
    identifier(root, rel(ROOT_DIRECTORY), 0x0A, "", rel(ROOT_ENTRY));
    identifier(root, rel(ROOT_DIRECTORY), 0x02, "DATA", rel(DATA_ENTRY));
    identifier(root, rel(ROOT_DIRECTORY), 0x00, "SYSTEM.CNF", rel(CNF_ENTRY));
    put(img, uint64_t(ROOT_DIRECTORY) * SECTOR, root);
    put(img, uint64_t(ROOT_ENTRY) * SECTOR,
        file_entry(rel(ROOT_ENTRY), true, root.size(), {{static_cast<uint32_t>(root.size()), rel(ROOT_DIRECTORY)}}));
    put(img, uint64_t(CNF_ENTRY) * SECTOR, file_entry(rel(CNF_ENTRY), false, CNF_SIZE, {{CNF_SIZE, rel(CNF)}}));
    Bytes data_dir;
    identifier(data_dir, rel(DATA_DIRECTORY), 0x0A, "", rel(ROOT_ENTRY));
    identifier(data_dir, rel(DATA_DIRECTORY), 0x00, "A.BIN", rel(A_ENTRY));
    identifier(data_dir, rel(DATA_DIRECTORY), 0x00, "B.BIN", rel(B_ENTRY));
    put(img, uint64_t(DATA_DIRECTORY) * SECTOR, data_dir);
    Bytes data_entry = file_entry(rel(DATA_ENTRY), true, data_dir.size(),
                                  {{static_cast<uint32_t>(data_dir.size()), rel(DATA_DIRECTORY)}});
    if (bad_crc) {
        // A wrong CRC under a checksum that holds for it.
        data_entry[TAG_CRC] ^= 1;
        uint8_t sum = 0;
        for (uint32_t i = 0; i < TAG_BYTES; ++i)
            if (i != TAG_CHECKSUM)
                sum = static_cast<uint8_t>(sum + data_entry[i]);
        data_entry[TAG_CHECKSUM] = sum;
    }
    put(img, uint64_t(DATA_ENTRY) * SECTOR, data_entry);
    put(img, uint64_t(A_ENTRY) * SECTOR, file_entry(rel(A_ENTRY), false, A_SIZE, {{A_SIZE, rel(A)}}));
    // B.BIN's one extent is named in an allocation extent descriptor (4/14.5) that its entry's
    // list continues into.
    put(img, uint64_t(B_ENTRY) * SECTOR,
        file_entry(rel(B_ENTRY), false, B_SIZE, {{(3u << 30) | SECTOR, rel(B_ALLOCATION)}}));
    put(img, uint64_t(B_ALLOCATION) * SECTOR, descriptor(TAG_ALLOCATION_EXTENT, rel(B_ALLOCATION), 24 + 8, [](Bytes& d) {
            write_le32(&d[20], 8);
            write_le32(&d[24], B_SIZE);
            write_le32(&d[28], rel(B));
        }));
    finish(img);
}

}  // namespace fixture
