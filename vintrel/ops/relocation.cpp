#include "ops/relocation.h"

#include "iso/geometry.h"
#include "iso/record.h"
#include "iso/stream.h"
#include "iso/volume.h"
#include "iso/walker.h"
#include "ops/patch.h"

bool shift_extents(FILE* image, uint32_t extent, uint32_t size, uint32_t SectorSize,
                   uint32_t StartLBA, uint32_t count, std::string& error)
{
    Record_Action shift = [StartLBA, count](FILE* stream, uint64_t record_pos,
                                            ISO_Directory_Record& record, const std::string& name,
                                            std::string& why) {
        const uint32_t lba = record_lba(record);
        if (lba < StartLBA)
            return true;
        if (lba > UINT32_MAX - count) {
            why = "the extent of " + (name.empty() ? std::string("a directory entry") : name) +
                  " at sector " + std::to_string(lba) + " would move past sector 4294967295";
            return false;
        }
        int rc = repoint_record(stream, record_pos, record, lba + count);
        if (rc != 0) {
            why = std::string("could not rewrite a directory record: ") + io_reason(rc);
            return false;
        }
        return true;
    };
    return walk_directory_tree(image, extent, size, SectorSize, shift, error);
}

bool shift_volume_tree(FILE* image, const Volume_Tree& tree, uint32_t SectorSize,
                       uint32_t StartLBA, uint32_t count, std::string& error)
{
    if (!shift_extents(image, tree.root_lba, tree.root_size, SectorSize, StartLBA, count, error))
        return false;
    for (int slot = 0; slot < 4; ++slot)
        if (!shift_path_table(image, SectorSize, tree, slot, StartLBA, count, error))
            return false;
    if (count == 0)
        return true;
    const uint64_t grown = static_cast<uint64_t>(tree.volume_space) + count;
    return grow_volume_space(image, SectorSize, tree.descriptor_sector,
                             grown > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(grown), error);
}

bool reindex_toc(FILE* image, uint32_t StartLBA, uint32_t count, uint32_t SectorSize,
                 uint16_t PatchForGS2, Job_Settings& job)
{
    printf("Reindexing TOC\nPlease Wait...\n");
    if (!read_root_directory(image, job, job.outname))
        return false;
    std::string error;
    std::vector<Volume_Tree> trees;
    uint32_t last_descriptor = 0;
    bool ok = read_volume_trees(image, SectorSize, trees, last_descriptor, error);
    // Every hierarchy moves (a Joliet tree too), so that every reader finds the moved files.
    for (size_t i = 0; ok && i < trees.size(); ++i)
        ok = shift_volume_tree(image, trees[i], SectorSize, StartLBA, count, error);
    if (!ok) {
        printf("Error: %s: %s\n", job.outname, error.c_str());
        return false;
    }
    printf("Done Reindexing TOC.\n");
    if (PatchForGS2 == 0)
        return patch_for_gs2(image, job.RootDirLBA, job.SizeOfRootDir, SectorSize, job.outname,
                             false);
    return true;
}
