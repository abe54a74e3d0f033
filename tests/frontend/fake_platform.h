#pragma once
// A recording platform for the form's tests: it logs every operation in order and plays the
// programs it "starts": each runs for a few looks, writes the output it was given, and ends
// with the status it was given.

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

#include "platform.h"

class Fake_Platform : public Platform {
public:
    // How a program of the run behaves: picked by the name at the end of its path.
    struct Script {
        int looks = 3;        // program_running answers true this many times
        int exit_status = 0;  // -1: ended by a signal
        QString output;       // everything it writes, progress lines included
        bool starts = true;   // false: the program cannot be started
        QStringList creates;  // files that exist once it has started
    };

    QString folder = "/opt/vintrel app";
    QStringList log;                          // operations in order
    QList<std::optional<QString>> answers;    // dialog answers in order; nullopt is a cancel
    QList<bool> replies;                      // answers to questions, in order (default No)
    QList<QString> proposed;                  // file names the dialogs proposed
    QList<QString> filters;                   // filters the dialogs offered
    QHash<QString, Script> scripts;           // "bin2iso", "vintrel"
    QSet<QString> files;                      // the paths that exist
    QList<QPair<QString, QString>> same;      // pairs of paths that name one file
    std::function<void(int)> on_idle;         // run at every idle, with its count
    bool close_request = false;               // a console window was asked to close
    QWidget* form = nullptr;
    bool enabled_while_waiting = false;       // set when idle() found the form's Convert enabled
    int idles = 0;
    int run_folders = 0;

    QString application_folder() override { return folder; }

    Program_Id start_program(const QStringList& command, int window_style, QString& error) override
    {
        log << QString("start %1: %2").arg(window_style).arg(command.join(" | "));
        const QString name = command.isEmpty() ? QString() : command[0].section('/', -1);
        if (command.isEmpty() || command[0] != folder + "/" + name || !scripts.value(name, Script()).starts) {
            error = command.value(0) + " is not there or cannot be run";
            return 0;
        }
        programs.insert(++last, Program{command, scripts.value(name, Script()), 0, false});
        for (const QString& f : programs[last].script.creates)
            files.insert(f);
        return last;
    }

    qint32 find_window(const QString& title) override
    {
        for (auto it = programs.begin(); it != programs.end(); ++it)
            if (!it->ended && it->command[0].compare(title, Qt::CaseInsensitive) == 0)
                return 100 + static_cast<qint32>(it.key());
        return 0;
    }

    bool program_running(Program_Id id) override
    {
        Program& p = programs[id];
        if (!p.ended && p.looks++ >= p.script.looks) {
            p.ended = true;
            log << "ended " + p.command[0].section('/', -1);
        }
        return !p.ended;
    }

    int program_exit_status(Program_Id id) override { return programs[id].script.exit_status; }

    QString program_output(Program_Id id) override
    {
        const Program& p = programs[id];
        // The output arrives as the program runs: all of it by its end.
        if (p.ended || p.script.looks == 0)
            return p.script.output;
        return p.script.output.left(p.script.output.size() * p.looks / (p.script.looks + 1));
    }

    void stop_program(Program_Id id) override
    {
        Program& p = programs[id];
        log << "stop " + p.command[0].section('/', -1);
        p.ended = true;
        p.script.exit_status = -1;
    }

    bool take_close_request() override
    {
        const bool r = close_request;
        close_request = false;
        return r;
    }

    bool delete_file(const QString& path, QString&) override
    {
        log << "delete " + path;
        files.remove(path);
        return true;
    }

    bool move_file(const QString& from, const QString& to, QString&) override
    {
        log << "move " + from + " -> " + to;
        files.remove(from);
        files.insert(to);
        return true;
    }

    bool file_exists(const QString& path) override { return files.contains(path); }

    bool same_file(const QString& a, const QString& b) override
    {
        return same.contains({a, b}) || same.contains({b, a});
    }

    QString make_run_folder(QString&) override
    {
        const QString made = QString("/tmp/run%1").arg(++run_folders);
        log << "make " + made;
        return made;
    }

    void remove_run_folder(const QString& path) override
    {
        log << "remove " + path;
        for (const QString& f : QSet<QString>(files))
            if (f.startsWith(path + "/"))
                files.remove(f);
    }

    void message_box(QWidget*, const QString& prompt, const QString& title) override
    {
        log << "message " + title + ": " + prompt;
    }

    bool ask(QWidget*, const QString& question, const QString&) override
    {
        log << "ask " + question;
        return !replies.isEmpty() && replies.takeFirst();
    }

    bool show_open(QWidget*, const QString& name, const QString& filter, QString& chosen) override
    {
        return answer("open", name, filter, chosen);
    }

    bool show_save(QWidget*, const QString& name, const QString& filter, QString& chosen) override
    {
        return answer("save", name, filter, chosen);
    }

    void idle() override
    {
        ++idles;
        if (form != nullptr && form->findChild<QWidget*>("Command2")->isEnabled())
            enabled_while_waiting = true;
        if (on_idle)
            on_idle(idles);
    }

private:
    struct Program {
        QStringList command;
        Script script;
        int looks;
        bool ended;
    };
    QHash<Program_Id, Program> programs;
    Program_Id last = 0;

    bool answer(const char* which, const QString& name, const QString& filter, QString& chosen)
    {
        log << QString("%1 dialog proposing \"%2\"").arg(which, name);
        proposed << name;
        filters << filter;
        std::optional<QString> a = answers.isEmpty() ? std::nullopt : answers.takeFirst();
        if (!a)
            return false;
        chosen = *a;
        return true;
    }
};
