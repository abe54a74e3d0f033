#include "driver/dispatch.h"

#include <cstdio>

#include "driver/flows.h"
#include "driver/numbers.h"
#include "driver/prompts.h"
#include "driver/usage.h"
#include "ops/auto_mode.h"
#include "ops/dummy.h"

char select_command(const char* arg)
{
    switch (arg[0]) {
    case 'a': case 'A': return 'a';
    case 'g': case 'G': return 'g';
    case 'n': case 'N': return 'n';
    case 'p': case 'P': return 'p';
    default: return 0;
    }
}

int parameter_threshold(char command)
{
    switch (command) {
    case 'n': return 5;
    case 'p': return 3;
    default: return 4;
    }
}

void fill_from_arguments(char** argv, char command, Job_Settings& job)
{
    switch (command) {
    case 'a':
        job.inname = argv[2];
        job.outname = argv[3];
        break;
    case 'g':
        job.outname = argv[2];
        job.sizeDummy = read_number_parameter(argv[3]);
        break;
    case 'n':
        job.inname = argv[2];
        job.outname = argv[3];
        job.StartLBA = read_number_parameter(argv[4]);
        break;
    case 'p':
        job.outname = argv[2];
        break;
    }
}

int run_vintrel(int argc, char** argv)
{
    Job_Settings job;
    init_settings(job);
    if (argc < 2) {
        print_usage();
        return 0;
    }
    const char command = select_command(argv[1]);
    if (command == 0) {
        printf("Unknown command %s\nType: \"%s\" without the qoutes for the help menu.\n", argv[1],
               argv[0]);
        return 1;
    }
    if (argc >= parameter_threshold(command))
        fill_from_arguments(argv, command, job);
    else
        interactive_mode(command, job);

    switch (command) {
    case 'a': return auto_mode(job);
    case 'g': return make_dummy_file(job);
    case 'n': return normal_mode(job);
    default: return patch_mode(job);
    }
}
