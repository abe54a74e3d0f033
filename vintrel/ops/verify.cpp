#include "ops/verify.h"

#include "fileio/io.h"
#include "iso/geometry.h"
#include "ops/patch.h"
#include "settings/job_settings.h"

Expected_Change expected_change(const Volume_Map& map, const Sector_Shift& shift, bool patched, uint32_t extended_to)
{
    auto moved = [&](int i) {
        return i < 0 ? 0u : static_cast<uint32_t>(moved_sector(map.extents[static_cast<size_t>(i)].lba, shift));
    };
    const uint32_t iso = patched ? PATCH_SECTOR : moved(map.system_cnf);
    const uint32_t udf = patched && udf_repoints_system_cnf(map, shift) ? PATCH_SECTOR : moved(map.udf.system_cnf);
    return Expected_Change{iso, extended_to, udf};
}

bool read_system_cnf(int fd, const char* name, const Volume_Map& map, const Sector_Shift& shift,
                     std::vector<uint8_t>& bytes, std::string& error)
{
    const Map_Extent& cnf = map.extents[static_cast<size_t>(map.system_cnf)];
    bytes.resize(static_cast<size_t>(cnf.bytes));
    const int rc = read_full_at(fd, moved_sector(cnf.lba, shift) * SECTOR_BYTES, bytes.data(), bytes.size());
    if (rc != 0) {
        error = std::string("Error: could not read ") + name + ": " + io_reason(rc);
        return false;
    }
    return true;
}

bool verify_image(int fd, const char* name, const Volume_Map& source, const Sector_Shift& shift,
                  const Expected_Change& change, const std::vector<uint8_t>& system_cnf,
                  std::string& error)
{
    const std::string failed = std::string("Error: ") + name + " does not check out: ";
    const int64_t length = file_size(fd);
    if (length < 0) {
        error = std::string("Error: could not read ") + name + ": " + io_reason(last_error());
        return false;
    }
    Volume_Map written;
    std::string why;
    if (!build_volume_map(Image_File{fd, static_cast<uint64_t>(length)}, name, written, why)) {
        error = failed + why;
        return false;
    }
    if (!compare_maps(source, written, shift, change, why)) {
        error = failed + why;
        return false;
    }
    std::vector<uint8_t> there(system_cnf.size());
    const int rc = read_full_at(fd, sector_offset(change.system_cnf_lba), there.data(), there.size());
    if (rc != 0) {
        error = std::string("Error: could not read ") + name + ": " + io_reason(rc);
        return false;
    }
    if (there != system_cnf) {
        error = failed + "sector " + std::to_string(change.system_cnf_lba) + " does not hold the bytes of SYSTEM.CNF";
        return false;
    }
    return true;
}
