#pragma once
// A job record with the source opened for reading and the new image created, as the n and
// a flows leave them before the insertion.

#include <cstdio>
#include <string>

#include "driver/job_settings.h"

inline Job_Settings new_image_job(const std::string& src, const std::string& dst)
{
    Job_Settings job;
    init_settings(job);
    job.inname = src.c_str();
    job.outname = dst.c_str();
    job.infile = fopen(src.c_str(), "rb");
    job.outfile = fopen(dst.c_str(), "w+b");
    return job;
}
