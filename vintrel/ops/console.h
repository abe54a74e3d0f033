#pragma once
// What the program says on standard output: the narration of a run's steps, warnings and
// error lines, kept apart from a progress line and from a narration line left open.

#include <string>

// Prints text of the narration (a line or the start of one), after erasing a progress line.
void say(const char* text);

// Prints one error or warning line (given without its line end), on a line of its own.
void say_line(const std::string& line);
