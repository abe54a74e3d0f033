#pragma once
// A small UDF bridge disc laid out by hand (ECMA-167 parts 3 and 4, UDF 1.02): the ISO 9660
// side names SYSTEM.CNF, DATA/A.BIN and DATA/B.BIN; the UDF side names the same files, with
// its DATA directory's file entry and identifiers, and the file entries of A.BIN and B.BIN,
// far into the partition, and B.BIN's allocation continued in an allocation extent.

#include <cstdint>
#include <string>

namespace fixture {

namespace udf {
constexpr uint32_t ISO_ROOT = 70, ISO_DATA = 71;
constexpr uint32_t PARTITION = 257, PARTITION_LENGTH = 1000, SECTORS = 1300;
// Absolute sectors of the UDF structures past the partition's start.
constexpr uint32_t FILE_SET = PARTITION, ROOT_ENTRY = PARTITION + 2, ROOT_DIRECTORY = PARTITION + 3,
                   CNF_ENTRY = PARTITION + 6;
constexpr uint32_t DATA_ENTRY = PARTITION + 500, DATA_DIRECTORY = PARTITION + 501, A_ENTRY = PARTITION + 502,
                   B_ENTRY = PARTITION + 503, B_ALLOCATION = PARTITION + 504;
// The files' data, shared by both sides.
constexpr uint32_t CNF = 300, A = 400, B = 600;
constexpr uint32_t CNF_SIZE = 60, A_SIZE = 5000, B_SIZE = 3000;
}  // namespace udf

// Writes the disc to path: anchors at 256 and at the last sector, and with end_anchor at the
// last sector but 255 too. With bad_crc, the DATA directory's file entry carries a wrong CRC.
void udf_disc(const std::string& path, bool bad_crc = false, bool end_anchor = false);

}  // namespace fixture
