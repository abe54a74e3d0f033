#include "fileio/progress.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// State of the copy being shown.
struct Progress {
    bool active;
    bool shown;
    uint64_t total;
    uint64_t done;
    double started;
    double drawn;
};

Progress progress = {false, false, 0, 0, 0.0, 0.0};

// Seconds on the monotonic clock.
double now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Redraw interval in seconds.
constexpr double INTERVAL = 0.25;

void draw()
{
    char line[128];
    format_progress(line, sizeof line, progress.done, progress.total, now() - progress.started);
    printf("\r%s\033[K", line);
    fflush(stdout);
    progress.shown = true;
}

}  // namespace

void format_progress(char* out, unsigned long out_size, uint64_t done, uint64_t total,
                     double seconds)
{
    const double mib = 1024.0 * 1024.0;
    unsigned percent = total == 0 ? 100 : static_cast<unsigned>(done * 100.0 / total);
    if (percent > 100)
        percent = 100;
    double rate = seconds > 0 ? static_cast<double>(done) / mib / seconds : 0.0;
    snprintf(out, out_size, "%3u%%  %.1f of %.1f MiB  %.1f MiB/s", percent,
             static_cast<double>(done) / mib, static_cast<double>(total) / mib, rate);
}

void progress_start(uint64_t total)
{
    progress = {isatty(STDOUT_FILENO) == 1, false, total, 0, now(), 0.0};
    if (progress.active) {
        fflush(stdout);
        // The first advance draws at once, later ones every INTERVAL.
        progress.drawn = progress.started - INTERVAL;
    }
}

void progress_advance(uint64_t n)
{
    if (!progress.active)
        return;
    progress.done += n;
    double t = now();
    if (t - progress.drawn >= INTERVAL) {
        progress.drawn = t;
        draw();
    }
}

void progress_erase()
{
    if (!progress.shown)
        return;
    printf("\r\033[K");
    fflush(stdout);
    progress.shown = false;
}

void progress_end()
{
    progress_erase();
    progress.active = false;
}
