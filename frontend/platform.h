#pragma once
// The platform operations that the form and the conversion run need, behind one interface:
// the real one in qt_platform.h, recording fakes in the tests.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QWidget;

// A program started through the platform, as the platform knows it; 0 for none.
using Program_Id = quint64;

// Window styles of a started program's console window.
constexpr int STYLE_MINIMIZED_NO_FOCUS = 6;
constexpr int STYLE_MAXIMIZED_FOCUS = 3;

class Platform {
public:
    virtual ~Platform() = default;

    // The folder that holds the front-end's program file, without a trailing slash.
    virtual QString application_folder() = 0;

    // Starts command[0] with the other entries as its arguments, each one argument, in a
    // console window titled command[0], shown in window_style; returns at once. Gives 0
    // with error set when the program cannot be started.
    virtual Program_Id start_program(const QStringList& command, int window_style, QString& error) = 0;

    // The handle of a console window whose title equals title, letters compared without
    // regard to case, or 0 when there is none.
    virtual qint32 find_window(const QString& title) = 0;

    // Whether a started program is still running.
    virtual bool program_running(Program_Id program) = 0;

    // Exit status of a program that has ended; -1 when a signal ended it.
    virtual int program_exit_status(Program_Id program) = 0;

    // Everything the program has written so far, standard output and error together.
    virtual QString program_output(Program_Id program) = 0;

    // Stops a running program (asked to end, then made to) and waits until it has ended.
    virtual void stop_program(Program_Id program) = 0;

    // Whether the user has tried to close the console window of a running program since the
    // last call; the window stays open.
    virtual bool take_close_request() = 0;

    // Deletes a file; gives false with error set when there is none or it cannot be removed.
    virtual bool delete_file(const QString& path, QString& error) = 0;

    // Moves a file over another name, replacing it; gives false with error set on failure.
    virtual bool move_file(const QString& from, const QString& to, QString& error) = 0;

    // Whether a file exists under path.
    virtual bool file_exists(const QString& path) = 0;

    // Whether two paths name the same existing file (by any path, links included).
    virtual bool same_file(const QString& a, const QString& b) = 0;

    // Makes a new private folder for one run's intermediate image, first removing the folders
    // that runs of killed front-ends left; gives its path, or an empty text with error set.
    virtual QString make_run_folder(QString& error) = 0;

    // Removes a run's folder and everything in it.
    virtual void remove_run_folder(const QString& folder) = 0;

    // A modal message box with an OK button only and no icon.
    virtual void message_box(QWidget* parent, const QString& prompt, const QString& title) = 0;

    // A modal question with Yes and No; gives true for Yes.
    virtual bool ask(QWidget* parent, const QString& question, const QString& title) = 0;

    // The open or save dialog, proposing proposed and offering filter ("description|pattern|..."):
    // gives true with the chosen path when the user confirms, false when the user cancels.
    virtual bool show_open(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) = 0;
    virtual bool show_save(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) = 0;

    // Keeps the windows painted and the form answering for a short while without spinning,
    // for the waits of a run.
    virtual void idle() = 0;
};
