#include "every_kind.h"

#include "iso_fixture.h"

namespace fixture {

using namespace kinds;

namespace {

// An identifier in UCS-2, as Joliet records it.
std::string ucs2(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

// A file record with SUSP entries.
Entry with_susp(Entry e, const std::vector<std::vector<uint8_t>>& entries)
{
    for (const auto& x : entries)
        e.susp.insert(e.susp.end(), x.begin(), x.end());
    return e;
}

}  // namespace

std::vector<Disc_File> every_kind_files()
{
    return {{"/SYSTEM.CNF;1", CNF, 60, 7}, {"/DATA/A.BIN;1", A, A_SIZE, 1}, {"/DATA/C.BIN;1", C, 10, 3},
            {"/RR_MOVED/DEEP/D.BIN;1", D, 10, 4}};
}

void every_kind_disc(const std::string& path)
{
    Image img = create(path, SECTORS);
    mbr(img, {{0x17, 0, SECTORS * 4}});
    put(img, 432, {BOOT * 4 & 0xFF, BOOT * 4 >> 8, 0, 0});  // isohybrid: the boot image's 512-byte sector

    const std::vector<Path_Entry> tree = {{std::string(1, '\0'), ROOT, 1}, {"DATA", DATA, 1},
                                          {"RR_MOVED", RR_MOVED, 1}, {"DEEP", DEEP, 3}};
    const std::vector<Path_Entry> joliet = {{std::string(1, '\0'), JOLIET_ROOT, 1}, {ucs2("DATA"), JOLIET_DATA, 1}};
    Descriptor primary;
    primary.root_lba = ROOT;
    primary.volume_sectors = SECTORS;
    primary.path_table_size = static_cast<uint32_t>(path_table(tree, false).size());
    primary.path_tables[0] = L_TABLE;
    primary.path_tables[2] = M_TABLE;
    Descriptor enhanced = primary;
    enhanced.type = 2;
    enhanced.version = 2;
    Descriptor sup = primary;
    sup.type = 2;
    sup.joliet = true;
    sup.root_lba = JOLIET_ROOT;
    sup.path_table_size = static_cast<uint32_t>(path_table(joliet, false).size());
    sup.path_tables[0] = JL_TABLE;
    sup.path_tables[2] = JM_TABLE;
    Descriptor boot;
    boot.type = 0;
    boot.boot_catalog = CATALOG;
    Descriptor end;
    end.type = 255;
    descriptors(img, 16, {primary, enhanced, sup, boot, end});
    put(img, uint64_t(L_TABLE) * SECTOR, path_table(tree, false));
    put(img, uint64_t(M_TABLE) * SECTOR, path_table(tree, true));
    put(img, uint64_t(JL_TABLE) * SECTOR, path_table(joliet, false));
    put(img, uint64_t(JM_TABLE) * SECTOR, path_table(joliet, true));

    // The Rock Ridge tree: SP opens the root's own entry; SYSTEM.CNF keeps its Rock Ridge
    // name in a continuation area.
    Entry root_self = self(ROOT);
    std::vector<uint8_t> sp = susp_sp();
    root_self.susp = sp;
    const std::vector<uint8_t> nm = susp_nm("system.cnf");
    directory(img, ROOT, {root_self, parent(ROOT), file("BOOT.CAT;1", CATALOG, SECTOR),
                          dir("DATA", DATA, 2 * SECTOR), dir("RR_MOVED", RR_MOVED, SECTOR),
                          with_susp(file("SYSTEM.CNF;1", CNF, 60),
                                    {susp_ce(CONTINUATION, 0, static_cast<uint32_t>(nm.size()))})});
    put(img, uint64_t(CONTINUATION) * SECTOR, nm);
    Entry b1 = file("B.BIN;1", B1, SECTOR);
    b1.flags = 0x80;  // another section follows
    directory(img, DATA, {self(DATA, 2 * SECTOR), parent(ROOT), file("A.BIN;1", A, A_SIZE), b1, file("B.BIN;1", B2, 100),
                          with_susp(file("DEEP", DEEP, 0), {susp_cl(DEEP)})});
    put(img, uint64_t(DATA + 1) * SECTOR, encode(file("C.BIN;1", C, 10)));
    directory(img, RR_MOVED, {self(RR_MOVED), parent(ROOT), with_susp(dir("DEEP", DEEP, SECTOR), {susp_re()})});
    directory(img, DEEP, {self(DEEP), with_susp(parent(RR_MOVED), {susp_pl(DATA)}), file("D.BIN;1", D, 10)});

    directory(img, JOLIET_ROOT, {self(JOLIET_ROOT), parent(JOLIET_ROOT), dir(ucs2("DATA"), JOLIET_DATA, SECTOR), file(ucs2("system.cnf;1"), CNF, 60)});
    directory(img, JOLIET_DATA, {self(JOLIET_DATA), parent(JOLIET_ROOT), file(ucs2("A.BIN;1"), A, A_SIZE),
                                 file(ucs2("C.BIN;1"), C, 10)});

    boot_catalog(img, CATALOG, {{0, 4, BOOT}});
    for (const Disc_File& f : every_kind_files())
        data(img, f.lba, f.size, f.seed);
    data(img, B1, SECTOR, 5);
    data(img, B2, 100, 6);
    data(img, BOOT, BOOT_SIZE, 9);
    boot_info_table(img, BOOT, BOOT_SIZE);
    finish(img);
}

}  // namespace fixture
