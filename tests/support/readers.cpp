#include "readers.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "process.h"

namespace fs = std::filesystem;

std::map<std::string, long> listed_extents(const std::string& image, const std::string& flags)
{
    std::string out;
    run_shell("isoinfo -l " + flags + " -i '" + image + "' 2>/dev/null", &out);
    std::map<std::string, long> extents;
    std::istringstream lines(out);
    std::string dir;
    for (std::string line; std::getline(lines, line);) {
        const std::string heading = "Directory listing of ";
        if (line.rfind(heading, 0) == 0) {
            dir = line.substr(heading.size());
            continue;
        }
        const size_t open = line.find('[');
        const size_t close = line.find(']', open);
        if (open == std::string::npos || close == std::string::npos || close + 2 > line.size())
            continue;
        std::string name = line.substr(close + 3);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name == "." || name == "..")
            continue;
        extents[dir + name] = std::stol(line.substr(open + 1));
    }
    return extents;
}

std::map<std::string, std::string> tree_files(const std::string& root)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(root))
        return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(e.path(), root).string()] = bytes.str();
    }
    return files;
}

int extract_with(const std::string& reader, const std::string& image, const std::string& folder)
{
    fs::remove_all(folder);
    if (reader == "xorriso")
        return run_shell("xorriso -osirrox on -indev '" + image + "' -extract / '" + folder + "' >/dev/null 2>&1");
    if (reader == "udfclient") {
        // udfclient shows the logical volume as the one folder of its root.
        std::string listing;
        run_shell("printf 'ls\\nquit\\n' | udfclient -b 2048 '" + image + "' 2>/dev/null", &listing);
        std::istringstream lines(listing);
        std::string volume;
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("drwx", 0) == 0 && volume.empty())
                volume = line.substr(line.find_last_of(' ') + 1);
        fs::create_directories(folder);
        return run_shell("cd '" + folder + "' && printf 'cd " + volume +
                         "\\nmget .\\nquit\\n' | udfclient -b 2048 '" + image + "' >/dev/null 2>&1");
    }
    if (reader == "7z-udf")
        return run_shell("7z x -tudf -y -o'" + folder + "' '" + image + "' >/dev/null 2>&1");
    return run_shell("7z x -y -o'" + folder + "' '" + image + "' >/dev/null 2>&1");
}

std::pair<long, long> el_torito(const std::string& image)
{
    std::string out;
    run_shell("xorriso -indev '" + image + "' -report_el_torito plain 2>/dev/null", &out);
    long catalog = -1, boot = -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("El Torito catalog  :", 0) == 0)
            catalog = std::stol(line.substr(line.find(':') + 1));
        if (line.rfind("El Torito boot img :", 0) == 0)
            boot = std::stol(line.substr(line.find_last_of(' ') + 1));
    }
    return {catalog, boot};
}

std::string udf_file_by_iso_read(const std::string& image, const std::string& path)
{
    const std::string out = fs::temp_directory_path() / ("iso-read-" + std::to_string(getpid()));
    fs::remove(out);
    run_shell("iso-read -U -i '" + image + "' -e '" + path + "' -o '" + out + "' >/dev/null 2>&1");
    std::ifstream in(out, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    fs::remove(out);
    return bytes.str();
}

std::string udfinfo(const std::string& image)
{
    std::string out;
    run_shell("udfinfo '" + image + "'", &out);
    return out;
}
