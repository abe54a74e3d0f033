#pragma once
// A point between the steps of building an image where a test build can step in (to stop
// the run there, or to damage what was written so far). Nothing happens in the program
// itself: only a test executable defines vintrel_step_hook.

// Defined only by test executables; called with the step just finished and the new image.
extern "C" void vintrel_step_hook(const char* step, int image_fd) __attribute__((weak));

// Runs the test build's hook for step, if there is one.
inline void step_done(const char* step, int image_fd)
{
    if (vintrel_step_hook != nullptr)
        vintrel_step_hook(step, image_fd);
}
