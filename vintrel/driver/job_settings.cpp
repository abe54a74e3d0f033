#include "driver/job_settings.h"

void init_settings(Job_Settings& job)
{
    job.infile = nullptr;
    job.outfile = nullptr;
    job.inname = nullptr;
    job.outname = nullptr;
    job.SectorSize = 2048;
    job.StartLBA = 0;
    job.EndLBA = 0;
    job.CurLBA = 0;
    job.CurPosition = 0;
    job.sizeDummy = 0;
    job.RootDirLBA = 0;
    job.SizeOfRootDir = 0;
    job.PatchLBA = PATCH_SECTOR;
    job.PatchForGS2 = 0;
}
