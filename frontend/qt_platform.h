#pragma once
// The platform layer on a Linux desktop with Qt: each started program runs as a child
// process whose output is shown live in a small console window of the layer, titled with
// the program's path; the window search finds those windows.

#include <QHash>
#include <QPointer>
#include <QString>

#include "platform.h"

class QPlainTextEdit;
class QProcess;
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
    bool delete_file(const QString& path, QString& error) override;
    bool move_file(const QString& from, const QString& to, QString& error) override;
    void message_box(QWidget* parent, const QString& prompt, const QString& title) override;
    bool show_open(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) override;
    bool show_save(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen) override;
    void end_with_error(QWidget* parent, const QString& error) override;
    void idle() override;

private:
    // One started program and its console window.
    struct Child {
        QProcess* process;
        QPointer<QWidget> window;  // gone when the program has ended
        qint32 handle;
        bool running;
        int exit_status;
    };

    QString folder_;
    Program_Id next_id_ = 1;
    qint32 next_handle_ = 1;
    QHash<Program_Id, Child> children_;
};

// The dialog filter list "description|pattern|description|pattern" in Qt's form.
QString qt_filter(const QString& filter);
