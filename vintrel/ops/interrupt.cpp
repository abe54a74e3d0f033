#include "ops/interrupt.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile sig_atomic_t arrived = 0;

void note(int signal)
{
    if (arrived == 0)
        arrived = signal;
}

}  // namespace

void watch_interruptions()
{
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write that waits on a pipe or a slow device returns, so that the
    // run can stop.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool interrupted()
{
    return arrived != 0;
}

void end_by_interruption()
{
    const int signal = arrived != 0 ? arrived : SIGTERM;
    fflush(stdout);
    ::signal(signal, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal);
    _exit(128 + signal);
}
