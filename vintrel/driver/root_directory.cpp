#include "driver/root_directory.h"

#include "ops/image_run.h"

bool read_root_directory(FILE* stream, Job_Settings& job, Volume_Map& map, std::string& error)
{
    if (!read_image_map(stream, job.outname, map, error))
        return false;
    job.RootDirLBA = map.root_lba;
    job.SizeOfRootDir = map.root_size;
    return true;
}
