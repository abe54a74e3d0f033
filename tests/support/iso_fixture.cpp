#include "iso_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

static void both_endian32(uint8_t* p, uint32_t le, uint32_t be)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(le >> (8 * i));
        p[7 - i] = static_cast<uint8_t>(be >> (8 * i));
    }
}

std::vector<uint8_t> encode(const Entry& e)
{
    size_t id_len = e.id.size();
    size_t natural = 33 + id_len + (id_len % 2 == 0 ? 1 : 0) + e.system_use;
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
        r[natural - e.system_use + i] = static_cast<uint8_t>(0xA0 + i);
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
    std::vector<uint8_t> pvd(SECTOR, 0);
    pvd[0] = 1;
    std::memcpy(&pvd[1], "CD001", 5);
    pvd[6] = 1;
    std::memset(&pvd[8], ' ', 32);
    std::memcpy(&pvd[40], "FIXTURE", 7);
    std::memset(&pvd[47], ' ', 25);
    both_endian32(&pvd[80], volume_sectors, volume_sectors);
    pvd[120] = 1; pvd[123] = 1; pvd[124] = 1; pvd[127] = 1;   // set size, sequence number
    pvd[128] = 0; pvd[129] = 8; pvd[130] = 8; pvd[131] = 0;   // logical block size 2048
    std::vector<uint8_t> root = encode(self(root_lba, root_size));
    std::memcpy(&pvd[156], root.data(), root.size());
    pvd[881] = 1;
    put(image, 16ull * SECTOR, pvd);
    std::vector<uint8_t> end(SECTOR, 0);
    end[0] = 255;
    std::memcpy(&end[1], "CD001", 5);
    end[6] = 1;
    put(image, 17ull * SECTOR, end);
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
    std::vector<uint8_t> b = read_bytes(path, offset + 2, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint32_t be_at(const std::string& path, uint64_t offset)
{
    std::vector<uint8_t> b = read_bytes(path, offset + 6, 4);
    return b[3] | (b[2] << 8) | (b[1] << 16) | (static_cast<uint32_t>(b[0]) << 24);
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
