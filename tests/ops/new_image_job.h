#pragma once
// A job record with the source opened for reading and the new image created, as the n and
// a flows leave them before the insertion, and the source's map.

#include <cstdio>
#include <string>

#include "settings/job_settings.h"
#include "support/map_of.h"

struct New_Image_Job {
    Job_Settings job;
    Volume_Map map;
};

inline New_Image_Job new_image_job(const std::string& src, const std::string& dst)
{
    New_Image_Job j;
    init_settings(j.job);
    j.job.inname = src.c_str();
    j.job.outname = dst.c_str();
    j.job.infile = fopen(src.c_str(), "rb");
    j.job.outfile = fopen(dst.c_str(), "w+b");
    j.map = map_of(src);
    return j;
}
