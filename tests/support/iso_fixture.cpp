#include "iso_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "iso/byte_order.h"
#include "iso/descriptors.h"

namespace fixture {

Entry file(const std::string& id, uint32_t lba, uint32_t size)
{
    Entry e;
    e.id = id;
    e.lba = lba;
    e.size = size;
    return e;
}

Entry dir(const std::string& id, uint32_t lba, uint32_t size)
{
    Entry e = file(id, lba, size);
    e.flags = 0x02;
    return e;
}

Entry self(uint32_t lba, uint32_t size)
{
    return dir(std::string(1, '\0'), lba, size);
}

Entry parent(uint32_t lba, uint32_t size)
{
    return dir(std::string(1, '\1'), lba, size);
}

// Writes a both-byte-order field whose halves may disagree.
static void both_endian32(uint8_t* p, uint32_t le, uint32_t be)
{
    write_le32(p, le);
    write_be32(p + 4, be);
}

std::vector<uint8_t> encode(const Entry& e)
{
    size_t id_len = e.id.size();
    size_t natural = 33 + id_len + (id_len % 2 == 0 ? 1 : 0) + e.system_use + e.susp.size();
    size_t length = e.length >= 0 ? static_cast<size_t>(e.length) : natural;
    std::vector<uint8_t> r(std::max(length, natural), 0);
    r[0] = static_cast<uint8_t>(length);
    uint32_t be = e.be_lba >= 0 ? static_cast<uint32_t>(e.be_lba) : e.lba;
    both_endian32(&r[2], e.lba, be);
    both_endian32(&r[10], e.size, e.size);
    r[18] = 126;  // 2026
    r[19] = 12;
    r[20] = 11;
    r[25] = e.flags;
    r[28] = 1;
    r[31] = 1;
    r[32] = static_cast<uint8_t>(e.name_length >= 0 ? e.name_length : static_cast<int>(id_len));
    std::memcpy(&r[33], e.id.data(), id_len);
    for (size_t i = 0; i < e.system_use; ++i)
        r[natural - e.susp.size() - e.system_use + i] = static_cast<uint8_t>(0xA0 + i);
    std::copy(e.susp.begin(), e.susp.end(), r.begin() + static_cast<std::ptrdiff_t>(natural - e.susp.size()));
    // A length below the natural one keeps the identifier bytes after the record's end.
    return r;
}

Image create(const std::string& path, uint64_t sectors)
{
    Image image;
    image.path = path;
    image.fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (image.fd < 0)
        throw std::runtime_error("cannot create " + path);
    if (ftruncate(image.fd, static_cast<off_t>(sectors * SECTOR)) != 0)
        throw std::runtime_error("cannot size " + path);
    return image;
}

void finish(Image& image)
{
    if (image.fd >= 0)
        close(image.fd);
    image.fd = -1;
}

void put(Image& image, uint64_t offset, const std::vector<uint8_t>& bytes)
{
    if (pwrite(image.fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
        static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot write " + image.path);
}

void descriptor(Image& image, uint32_t root_lba, uint32_t root_size, uint32_t volume_sectors)
{
    Descriptor primary;
    primary.root_lba = root_lba;
    primary.root_size = root_size;
    primary.volume_sectors = volume_sectors;
    Descriptor end;
    end.type = 255;
    descriptors(image, 16, {primary, end});
}

void descriptors(Image& image, uint32_t first, const std::vector<Descriptor>& set)
{
    for (size_t n = 0; n < set.size(); ++n) {
        const Descriptor& d = set[n];
        std::vector<uint8_t> v(SECTOR, 0);
        v[0] = d.type;
        std::memcpy(&v[1], "CD001", 5);
        v[6] = d.version;
        if (d.type == 0) {
            std::memcpy(&v[VD_BOOT_SYSTEM], EL_TORITO_ID, EL_TORITO_ID_LENGTH);
            write_le32(&v[71], d.boot_catalog);
        } else if (d.type == 1 || d.type == 2) {
            std::memset(&v[8], ' ', 32);
            std::memcpy(&v[40], "FIXTURE", 7);
            std::memset(&v[47], ' ', 25);
            write_both32(&v[80], d.volume_sectors);
            if (d.joliet)
                std::memcpy(&v[88], "%/E", 3);
            write_both16(&v[120], 1);  // volume set size
            write_both16(&v[124], 1);  // volume sequence number
            write_both16(&v[128], SECTOR);
            write_both32(&v[132], d.path_table_size);
            write_le32(&v[140], d.path_tables[0]);
            write_le32(&v[144], d.path_tables[1]);
            write_be32(&v[148], d.path_tables[2]);
            write_be32(&v[152], d.path_tables[3]);
            std::vector<uint8_t> root = encode(self(d.root_lba, d.root_size));
            std::memcpy(&v[156], root.data(), root.size());
            v[881] = 1;
        }
        put(image, uint64_t(first + n) * SECTOR, v);
    }
}

std::vector<uint8_t> path_table(const std::vector<Path_Entry>& entries, bool m)
{
    std::vector<uint8_t> t;
    for (const Path_Entry& e : entries) {
        std::vector<uint8_t> r(8 + e.id.size() + e.id.size() % 2, 0);
        r[0] = static_cast<uint8_t>(e.id.size());
        if (m) {
            write_be32(&r[2], e.lba);
            write_be16(&r[6], e.parent);
        } else {
            write_le32(&r[2], e.lba);
            write_le16(&r[6], e.parent);
        }
        std::memcpy(&r[8], e.id.data(), e.id.size());
        t.insert(t.end(), r.begin(), r.end());
    }
    return t;
}

// A SUSP entry with its signature and body.
static std::vector<uint8_t> susp_entry(const char* sig, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> e(4 + body.size());
    e[0] = static_cast<uint8_t>(sig[0]);
    e[1] = static_cast<uint8_t>(sig[1]);
    e[2] = static_cast<uint8_t>(e.size());
    e[3] = 1;
    std::copy(body.begin(), body.end(), e.begin() + 4);
    return e;
}

// The both-byte-order form of v as bytes.
static std::vector<uint8_t> both(uint32_t v)
{
    std::vector<uint8_t> b(8);
    write_both32(b.data(), v);
    return b;
}

std::vector<uint8_t> susp_sp()
{
    return susp_entry("SP", {0xBE, 0xEF, 0});
}

std::vector<uint8_t> susp_ce(uint32_t lba, uint32_t offset, uint32_t length)
{
    std::vector<uint8_t> body = both(lba);
    for (uint32_t v : {offset, length}) {
        std::vector<uint8_t> f = both(v);
        body.insert(body.end(), f.begin(), f.end());
    }
    return susp_entry("CE", body);
}

std::vector<uint8_t> susp_cl(uint32_t lba)
{
    return susp_entry("CL", both(lba));
}

std::vector<uint8_t> susp_pl(uint32_t lba)
{
    return susp_entry("PL", both(lba));
}

std::vector<uint8_t> susp_re()
{
    return susp_entry("RE", {});
}

std::vector<uint8_t> susp_nm(const std::string& name)
{
    std::vector<uint8_t> body = {0};
    body.insert(body.end(), name.begin(), name.end());
    return susp_entry("NM", body);
}

void boot_catalog(Image& image, uint32_t lba, const std::vector<Boot_Entry>& entries)
{
    std::vector<uint8_t> c(SECTOR, 0);
    c[0] = 1;
    c[30] = 0x55;
    c[31] = 0xAA;
    uint16_t sum = 0;
    for (size_t i = 0; i < 32; i += 2)
        sum = static_cast<uint16_t>(sum + read_le16(&c[i]));
    write_le16(&c[28], static_cast<uint16_t>(0x10000 - sum));
    size_t pos = 32;
    for (size_t n = 0; n < entries.size(); ++n) {
        if (n == 1) {  // the rest in one final section
            c[pos] = 0x91;
            write_le16(&c[pos + 2], static_cast<uint16_t>(entries.size() - 1));
            pos += 32;
        }
        c[pos] = 0x88;
        c[pos + 1] = entries[n].media;
        write_le16(&c[pos + 6], entries[n].count);
        write_le32(&c[pos + 8], entries[n].lba);
        pos += 32;
    }
    put(image, uint64_t(lba) * SECTOR, c);
}

void boot_info_table(Image& image, uint32_t lba, uint32_t size)
{
    std::vector<uint8_t> data(size);
    if (pread(image.fd, data.data(), size, static_cast<off_t>(uint64_t(lba) * SECTOR)) != static_cast<ssize_t>(size))
        throw std::runtime_error("cannot read the boot image of " + image.path);
    uint32_t sum = 0;
    for (size_t i = 64; i + 4 <= size; i += 4)
        sum += read_le32(&data[i]);
    std::vector<uint8_t> table(16);
    write_le32(&table[0], 16);
    write_le32(&table[4], lba);
    write_le32(&table[8], size);
    write_le32(&table[12], sum);
    put(image, uint64_t(lba) * SECTOR + 8, table);
}

void mbr(Image& image, const std::vector<Partition>& partitions)
{
    std::vector<uint8_t> m(512, 0);
    for (size_t i = 0; i < partitions.size(); ++i) {
        uint8_t* e = &m[446 + 16 * i];
        e[0] = i == 0 ? 0x80 : 0;
        e[4] = partitions[i].type;
        write_le32(e + 8, partitions[i].start);
        write_le32(e + 12, partitions[i].count);
    }
    m[510] = 0x55;
    m[511] = 0xAA;
    put(image, 0, m);
}

uint32_t directory(Image& image, uint32_t lba, const std::vector<Entry>& entries)
{
    uint64_t pos = static_cast<uint64_t>(lba) * SECTOR;
    const uint64_t first = pos;
    for (const Entry& e : entries) {
        std::vector<uint8_t> r = encode(e);
        if (pos % SECTOR + r.size() > SECTOR)
            pos = (pos / SECTOR + 1) * SECTOR;
        put(image, pos, r);
        pos += r[0] != 0 ? r[0] : r.size();
    }
    return static_cast<uint32_t>((pos - first + SECTOR - 1) / SECTOR);
}

std::vector<uint8_t> pattern(uint32_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (uint32_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>((x >> 16) | 1);  // never zero
    }
    return bytes;
}

void data(Image& image, uint32_t lba, uint32_t size, uint32_t seed)
{
    put(image, static_cast<uint64_t>(lba) * SECTOR, pattern(size, seed));
}

std::vector<uint8_t> read_bytes(const std::string& path, uint64_t offset, size_t size)
{
    std::vector<uint8_t> bytes(size);
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    ssize_t got = pread(fd, bytes.data(), size, static_cast<off_t>(offset));
    close(fd);
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
}

uint64_t file_length(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        throw std::runtime_error("no file " + path);
    return static_cast<uint64_t>(st.st_size);
}

std::vector<uint8_t> read_file(const std::string& path)
{
    return read_bytes(path, 0, file_length(path));
}

uint32_t le_at(const std::string& path, uint64_t offset)
{
    return read_le32(read_bytes(path, offset + 2, 4).data());
}

uint32_t be_at(const std::string& path, uint64_t offset)
{
    return read_be32(read_bytes(path, offset + 6, 4).data());
}

int64_t find_record(const std::string& path, uint32_t lba, uint32_t sectors, const std::string& id)
{
    const uint64_t start = static_cast<uint64_t>(lba) * SECTOR;
    std::vector<uint8_t> bytes = read_bytes(path, start, static_cast<size_t>(sectors) * SECTOR);
    size_t pos = 0;
    while (pos < bytes.size()) {
        uint8_t len = bytes[pos];
        if (len == 0) {
            pos = (pos / SECTOR + 1) * SECTOR;
            continue;
        }
        if (pos + 33 > bytes.size())
            break;
        std::string name(reinterpret_cast<const char*>(&bytes[pos + 33]), bytes[pos + 32]);
        if (name == id)
            return static_cast<int64_t>(start + pos);
        pos += len;
    }
    return -1;
}

std::string temp_dir()
{
    char templ[] = "/tmp/vintrel-test-XXXXXX";
    char* made = mkdtemp(templ);
    if (made == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return made;
}

}  // namespace fixture
