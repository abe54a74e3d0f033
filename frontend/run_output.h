#pragma once
// Reading what a started program wrote: its progress line and its error lines.

#include <QString>
#include <QStringList>

// The percentage of the last progress line (" 42%  ... MiB/s", redrawn after carriage
// returns), or -1 when there is none.
int progress_percent(const QString& output);

// The output as lines, each progress line dropped and terminal codes removed.
QStringList output_lines(const QString& output);

// The lines that say why the program failed: from its first "Error" line on, or its last
// three lines when it printed none.
QStringList error_lines(const QString& output);
