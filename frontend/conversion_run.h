#pragma once
// The conversion run of the Convert button.

#include <QStringList>
#include <initializer_list>

class frmmain;

// A command line from its parts: each part is one argument, blanks and all; empty parts are
// left out, as the blank-joined command line of the original front-end dropped them.
QStringList command_line(std::initializer_list<QString> parts);

// Runs the conversion in the form's run mode, keeping the form from taking input meanwhile.
void conversion_run(frmmain& form);
