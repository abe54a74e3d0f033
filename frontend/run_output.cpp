#include "run_output.h"

#include <QRegularExpression>

int progress_percent(const QString& output)
{
    static const QRegularExpression line(QStringLiteral("\\r\\s*(\\d{1,3})%  "));
    int percent = -1;
    auto it = line.globalMatch(output);
    while (it.hasNext())
        percent = it.next().captured(1).toInt();
    return percent;
}

QStringList output_lines(const QString& output)
{
    QString text = output;
    text.remove(QStringLiteral("\x1b[K"));
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        // A terminal ends its lines with a carriage return too; before that, what a carriage
        // return drew over is gone from the screen.
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const int cr = line.lastIndexOf(QLatin1Char('\r'));
        if (cr >= 0)
            line = line.mid(cr + 1);
        // A progress line left standing when the program was stopped says nothing of why.
        static const QRegularExpression progress(QStringLiteral("^\\s*\\d{1,3}%  "));
        if (!progress.match(line).hasMatch())
            lines << line;
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList error_lines(const QString& output)
{
    const QStringList lines = output_lines(output);
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QLatin1String("Error")))
            return lines.mid(i);
    return lines.mid(qMax(0, int(lines.size()) - 3));
}
