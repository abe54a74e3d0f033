#include "qt_platform.h"

#include "form_state.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long one idle() waits, in milliseconds.
constexpr int IDLE_MS = 25;

// A console window for a program: its output, live, under the program's path.
QWidget* console_window(const QString& title, QPlainTextEdit** text)
{
    QWidget* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName("console");
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    *text = new QPlainTextEdit(window);
    (*text)->setReadOnly(true);
    (*text)->setFont(QFont("Monospace"));
    layout->addWidget(*text);
    window->resize(640, 360);
    return window;
}

}  // namespace

QString qt_filter(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + " (" + parts[i + 1] + ")";
    return entries.join(";;");
}

Qt_Platform::Qt_Platform(const QString& folder)
    : folder_(folder)
{
}

Qt_Platform::~Qt_Platform()
{
    for (Child& c : children_) {
        if (c.running) {
            c.process->kill();
            c.process->waitForFinished(2000);
        }
        if (c.window)
            delete c.window;
        delete c.process;
    }
}

QString Qt_Platform::application_folder()
{
    return folder_.isEmpty() ? QCoreApplication::applicationDirPath() : folder_;
}

Program_Id Qt_Platform::start_program(const QStringList& command, int window_style, QString& error)
{
    if (command.isEmpty()) {
        error = "Cannot start a program: the command line is empty";
        return 0;
    }
    const QString program = command.first();
    if (!QFileInfo(program).isExecutable()) {
        error = "Cannot start " + program + ": no such program";
        return 0;
    }
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setProgram(program);
    process->setArguments(command.mid(1));
    QPlainTextEdit* text = nullptr;
    QWidget* window = console_window(program, &text);
    const Program_Id id = next_id_;
    // Connected before the start, so that no output and no ending can be missed.
    QObject::connect(process, &QProcess::readyRead, window, [process, text] {
        text->moveCursor(QTextCursor::End);
        text->insertPlainText(QString::fromLocal8Bit(process->readAll()));
        text->moveCursor(QTextCursor::End);
    });
    QObject::connect(process, &QProcess::finished, process, [this, id](int code, QProcess::ExitStatus how) {
        Child& c = children_[id];
        c.running = false;
        c.exit_status = how == QProcess::NormalExit ? code : -1;
        if (c.window)
            c.window->close();
    });
    process->start(QIODevice::ReadWrite);
    if (!process->waitForStarted(10000)) {
        error = "Cannot start " + program + ": " + process->errorString();
        delete window;
        delete process;
        return 0;
    }
    // Nobody answers a prompt in these windows: standard input ends at once.
    process->closeWriteChannel();
    ++next_id_;
    children_.insert(id, Child{process, window, next_handle_++, true, -1});
    if (window_style == STYLE_MAXIMIZED_FOCUS) {
        window->showMaximized();
        window->raise();
        window->activateWindow();
    } else {
        window->setAttribute(Qt::WA_ShowWithoutActivating);
        window->showMinimized();
    }
    return id;
}

qint32 Qt_Platform::find_window(const QString& title)
{
    for (const Child& c : children_)
        if (c.window && c.window->windowTitle().compare(title, Qt::CaseInsensitive) == 0)
            return c.handle;
    return 0;
}

bool Qt_Platform::program_running(Program_Id program)
{
    auto it = children_.find(program);
    return it != children_.end() && it->running;
}

int Qt_Platform::program_exit_status(Program_Id program)
{
    auto it = children_.find(program);
    return it == children_.end() || it->running ? -1 : it->exit_status;
}

bool Qt_Platform::delete_file(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.exists()) {
        error = "Cannot delete " + path + ": no such file";
        return false;
    }
    if (!file.remove()) {
        error = "Cannot delete " + path + ": " + file.errorString();
        return false;
    }
    return true;
}

bool Qt_Platform::move_file(const QString& from, const QString& to, QString& error)
{
    if (QFile::exists(to) && !QFile::remove(to)) {
        error = "Cannot replace " + to;
        return false;
    }
    QFile file(from);
    if (file.rename(to))
        return true;
    // Across file systems a rename fails; copy, then remove.
    if (file.copy(to) && QFile::remove(from))
        return true;
    error = "Cannot move " + from + " to " + to + ": " + file.errorString();
    return false;
}

void Qt_Platform::message_box(QWidget* parent, const QString& prompt, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, parent);
    box.exec();
}

bool Qt_Platform::show_open(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen)
{
    chosen = QFileDialog::getOpenFileName(parent, QString(), proposed, qt_filter(filter));
    return !chosen.isEmpty();
}

bool Qt_Platform::show_save(QWidget* parent, const QString& proposed, const QString& filter, QString& chosen)
{
    chosen = QFileDialog::getSaveFileName(parent, QString(), proposed, qt_filter(filter));
    return !chosen.isEmpty();
}

void Qt_Platform::end_with_error(QWidget* parent, const QString& error)
{
    QMessageBox box(QMessageBox::Critical, APPLICATION_TITLE, error, QMessageBox::Ok, parent);
    box.exec();
    QCoreApplication::exit(1);
}

void Qt_Platform::idle()
{
    QEventLoop loop;
    QTimer::singleShot(IDLE_MS, &loop, &QEventLoop::quit);
    loop.exec();
}
