#include "disc.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace fixture {

Placed system_cnf(uint32_t lba)
{
    return {"SYSTEM.CNF;1", lba, 60, 7};
}

std::vector<uint8_t> contents(const Placed& f)
{
    return pattern(f.size, f.seed);
}

void disc(const std::string& path, const std::vector<Placed>& root_files,
          const std::vector<Placed>& sub_files, uint64_t sectors)
{
    uint64_t needed = SUB_LBA + 1;
    for (const auto* list : {&root_files, &sub_files})
        for (const Placed& f : *list)
            needed = std::max<uint64_t>(needed, f.lba + (f.size + SECTOR - 1) / SECTOR);
    if (sectors == 0)
        sectors = needed;
    Image img = create(path, sectors);
    descriptor(img, ROOT_LBA, SECTOR, static_cast<uint32_t>(sectors));
    std::vector<Entry> root = {self(ROOT_LBA), parent(ROOT_LBA)};
    for (const Placed& f : root_files)
        root.push_back(file(f.id, f.lba, f.size));
    if (!sub_files.empty()) {
        root.push_back(dir("DATA", SUB_LBA, SECTOR));
        std::vector<Entry> sub = {self(SUB_LBA), parent(ROOT_LBA)};
        for (const Placed& f : sub_files)
            sub.push_back(file(f.id, f.lba, f.size));
        directory(img, SUB_LBA, sub);
    }
    directory(img, ROOT_LBA, root);
    for (const auto* list : {&root_files, &sub_files})
        for (const Placed& f : *list)
            data(img, f.lba, f.size, f.seed);
    finish(img);
}

Captured_Stdout::Captured_Stdout()
{
    fflush(stdout);
    testing::internal::CaptureStdout();
}

std::string Captured_Stdout::text()
{
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

}  // namespace fixture
