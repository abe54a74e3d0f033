#pragma once
// A temporary folder for one test, removed with everything in it at the end.

#include <filesystem>
#include <string>

#include "iso_fixture.h"

struct Scratch {
    std::string dir = fixture::temp_dir();
    ~Scratch() { std::filesystem::remove_all(dir); }
    // A path inside the folder.
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
};
