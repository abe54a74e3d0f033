#pragma once
// A recording platform for the form's tests: it logs every operation in order and plays the
// programs it "starts" as windows that appear after one search and close after two more.

#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "platform.h"

class Fake_Platform : public Platform {
public:
    QString folder = "/opt/vintrel app";
    QStringList log;                          // operations in order
    QList<std::optional<QString>> answers;    // dialog answers in order; nullopt is a cancel
    QList<QString> proposed;                  // file names the dialogs proposed
    bool windowless = false;                  // programs that never show a window
    int tool_exit_status = 0;                 // exit status of vintrel runs
    bool enabled_while_waiting = false;       // set when idle() found the form enabled
    QWidget* form = nullptr;
    int idles = 0;

    QString application_folder() override { return folder; }

    Program_Id start_program(const QStringList& command, int window_style, QString& error) override
    {
        log << QString("start %1: %2").arg(window_style).arg(command.join(" | "));
        if (command.isEmpty() || !(command[0] == folder + "/bin2iso" || command[0] == folder + "/vintrel")) {
            error = "Cannot start " + command.value(0) + ": no such program";
            return 0;
        }
        Program program{command, 0, !command[0].endsWith("/vintrel") ? 0 : tool_exit_status};
        programs.insert(++last, program);
        return last;
    }

    qint32 find_window(const QString& title) override
    {
        qint32 handle = 0;
        for (auto it = programs.begin(); it != programs.end(); ++it) {
            Program& p = it.value();
            if (p.searches > 3 || p.command[0].compare(title, Qt::CaseInsensitive) != 0)
                continue;
            ++p.searches;
            if (!windowless && p.searches >= 2 && p.searches <= 3)
                handle = 100 + static_cast<qint32>(it.key());
            if (p.searches == 3)
                p.searches = 4;  // the window closes: the program has ended
        }
        log << QString("find %1 -> %2").arg(title).arg(handle);
        return handle;
    }

    bool program_running(Program_Id id) override
    {
        Program& p = programs[id];
        if (windowless)
            p.searches = 4;  // ends without ever showing a window
        return p.searches <= 3;
    }

    int program_exit_status(Program_Id id) override { return programs[id].exit_status; }

    bool delete_file(const QString& path, QString&) override
    {
        log << "delete " + path;
        return true;
    }

    bool move_file(const QString& from, const QString& to, QString&) override
    {
        log << "move " + from + " -> " + to;
        return true;
    }

    void message_box(QWidget*, const QString& prompt, const QString& title) override
    {
        log << "message " + title + ": " + prompt;
    }

    bool show_open(QWidget*, const QString& name, const QString& filter, QString& chosen) override
    {
        return answer("open", name, filter, chosen);
    }

    bool show_save(QWidget*, const QString& name, const QString& filter, QString& chosen) override
    {
        return answer("save", name, filter, chosen);
    }

    void end_with_error(QWidget*, const QString& error) override { log << "end: " + error; }

    void idle() override
    {
        ++idles;
        if (form != nullptr && form->isEnabled())
            enabled_while_waiting = true;
    }

private:
    struct Program {
        QStringList command;
        int searches;
        int exit_status;
    };
    QHash<Program_Id, Program> programs;
    Program_Id last = 0;

    bool answer(const char* which, const QString& name, const QString& filter, QString& chosen)
    {
        log << QString("%1 dialog proposing \"%2\" with filter \"%3\"").arg(which, name, filter);
        proposed << name;
        std::optional<QString> a = answers.isEmpty() ? std::nullopt : answers.takeFirst();
        if (!a)
            return false;
        chosen = *a;
        return true;
    }
};
