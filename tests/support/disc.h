#pragma once
// A small game disc laid out by hand: descriptor at 16, root directory at 18, an optional
// subdirectory DATA at 19, and files with patterned contents at chosen sectors.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "iso_fixture.h"

namespace fixture {

// A file placed at a sector.
struct Placed {
    std::string id;     // identifier as recorded, e.g. "SYSTEM.CNF;1"
    uint32_t lba;
    uint32_t size;
    uint32_t seed;      // pattern seed of its contents
};

// Root directory and subdirectory sectors of a disc().
constexpr uint32_t ROOT_LBA = 18;
constexpr uint32_t SUB_LBA = 19;

// The SYSTEM.CNF that disc() images usually carry.
Placed system_cnf(uint32_t lba = 24);

// Writes the disc to path: root holds root_files (and DATA when sub_files is not empty);
// the image is sectors long, or just long enough when sectors is 0.
void disc(const std::string& path, const std::vector<Placed>& root_files,
          const std::vector<Placed>& sub_files = {}, uint64_t sectors = 0);

// The contents a placed file carries.
std::vector<uint8_t> contents(const Placed& f);

// Captures what the code under test prints to standard output.
struct Captured_Stdout {
    Captured_Stdout();
    // Everything printed since construction.
    std::string text();
};

}  // namespace fixture
