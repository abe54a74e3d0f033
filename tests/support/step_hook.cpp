// The step hook of the test build of vintrel: VINTREL_HOOK="STEP:ACTION" acts when the build
// of a new image reaches STEP. ACTION is "stop" (the process stops itself with SIGSTOP, for
// the test to signal it) or "poke=OFFSET" (the byte at OFFSET of the new image is inverted).

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" void vintrel_step_hook(const char* step, int image_fd)
{
    const char* hook = std::getenv("VINTREL_HOOK");
    if (hook == nullptr)
        return;
    const std::string wanted = hook;
    const size_t colon = wanted.find(':');
    if (colon == std::string::npos || wanted.compare(0, colon, step) != 0)
        return;
    const std::string action = wanted.substr(colon + 1);
    if (action == "stop") {
        fflush(stdout);
        raise(SIGSTOP);
    } else if (action.rfind("poke=", 0) == 0) {
        const off_t at = static_cast<off_t>(std::strtoull(action.c_str() + 5, nullptr, 10));
        unsigned char b = 0;
        if (pread(image_fd, &b, 1, at) == 1) {
            b = static_cast<unsigned char>(~b);
            if (pwrite(image_fd, &b, 1, at) != 1)
                _exit(99);
        }
    }
}
