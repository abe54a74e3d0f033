#pragma once
// The record that carries one run of vintrel from the command line to the operations, and
// the patch sector. Shared by the driver and the operations; the image layer never sees it.

#include <cstdint>
#include <cstdio>

// Sector that receives SYSTEM.CNF and the last sector of every hole.
constexpr uint32_t PATCH_SECTOR = 12231;

// One run's settings; every number is unsigned and compared as unsigned.
struct Job_Settings {
    FILE* infile;            // source image stream (a, n)
    FILE* outfile;           // new image (a, n) or image patched in place (p)
    const char* inname;      // source image name
    const char* outname;     // new image, image to patch, or dummy file name
    uint32_t SectorSize;     // bytes per sector; always 2048
    uint32_t StartLBA;       // first sector of the hole
    uint32_t EndLBA;         // last sector of the hole
    uint32_t CurLBA;         // carried, unused
    uint32_t CurPosition;    // carried, unused
    uint32_t sizeDummy;      // dummy file size in bytes
    uint32_t RootDirLBA;     // root directory extent, from the volume descriptor
    uint32_t SizeOfRootDir;  // root directory data length in bytes
    uint32_t PatchLBA;       // the patch sector; never changed
    uint16_t PatchForGS2;    // 0: the patch follows the relocation
};

// Gives every field its default.
inline void init_settings(Job_Settings& job)
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
