#pragma once
// The platform layer on a Linux desktop with Qt: each started program runs as a child
// process whose output, read through a pseudo-terminal (so that the programs draw their
// progress lines), is shown live in a small console window of the layer, titled with the
// program's path; the window search finds those windows.

#include <QHash>
#include <QPointer>
#include <QString>

#include "platform.h"

class QPlainTextEdit;
class QProcess;
class QSocketNotifier;
class QWidget;

class Qt_Platform : public Platform {
public:
    // folder: the application folder; empty for the folder of the running program.
    explicit Qt_Platform(const QString& folder = QString());
    ~Qt_Platform() override;

    QString application_folder() override;
    Program_Id start_program(const QStringList& command, int window_style, QString& error) override;
    qint32 find_window(const QString& title) override;
    bool program_running(Program_Id program) override;
    int program_exit_status(Program_Id program) override;
    QString program_output(Program_Id program) override;
    void stop_program(Program_Id program) override;
    bool take_close_request() override;
    bool delete_file(const QString& path, QString& error) override;
    bool move_file(const QString& from, const QString& to, QString& error) override;
    bool file_exists(const QString& path) override;
    bool same_file(const QString& a, const QString& b) override;
    QString make_run_folder(QString& error) override;
    void remove_run_folder(const QString& folder) override;
    void message_box(QWidget* parent, const QString& prompt, const QString& title) override;
    bool ask(QWidget* parent, const QString& question, const QString& title) override;
    bool show_open(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) override;
    bool show_save(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) override;
    void idle() override;

    // Where run folders are made; the user's temporary folder unless set.
    QString temporary_root;

private:
    // One started program and its console window.
    struct Child {
        QProcess* process;
        QPointer<QWidget> window;  // its console window
        QPlainTextEdit* text;      // the window's text
        int terminal;              // the pseudo-terminal's master side, or -1 once drained
        QSocketNotifier* notifier;
        QString output;            // everything read from the terminal
        qint32 handle;
        bool running;
        int exit_status;
    };

    // Reads what the program's terminal holds into its output and window.
    void drain(Child& c);
    // The program has ended: its terminal drained, its window closed (kept open on failure).
    void ended(Program_Id id, int exit_status);

    QString folder_;
    Program_Id next_id_ = 1;
    qint32 next_handle_ = 1;
    QHash<Program_Id, Child> children_;
    bool close_requested_ = false;
    QHash<QString, int> run_folder_locks_;
};

// The dialog filter list "description|pattern|description|pattern" in Qt's form.
QString qt_filter(const QString& filter);
