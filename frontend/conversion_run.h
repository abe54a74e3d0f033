#pragma once
// The conversion run of the Convert button.

#include <QStringList>
#include <initializer_list>

#include "platform.h"

class QLineEdit;
class frmmain;

// A command line from its parts: each part is one argument, blanks and all; empty parts are
// left out, as the blank-joined command line of the original front-end dropped them.
QStringList command_line(std::initializer_list<QString> parts);

// A path as typed, pasted or dropped into a box: trimmed, and a file:// address made a path.
QString path_in(const QLineEdit* box);

// The message that tells how a program that ended ended: the step it was, its exit status or
// the signal, and its own error lines.
QString failure_message(const QString& step, Platform& platform, Program_Id program);

// Runs the conversion in the form's run mode, keeping the form from taking input meanwhile
// (but for Cancel), and tells how it ended.
void conversion_run(frmmain& form);
