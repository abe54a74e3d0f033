#include "qt_platform.h"

#include "form_state.h"
#include "run_output.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// How long one idle() waits, in milliseconds.
constexpr int IDLE_MS = 25;
// How long a program asked to stop may take before it is made to.
constexpr int STOP_GRACE_MS = 5000;
// Run folders are made under this prefix in the temporary folder.
const char* const RUN_FOLDER_PREFIX = "VintrelFrontEnd-";
// The lock that a living front-end holds in each of its run folders.
const char* const LOCK_NAME = ".lock";

// A console window: it will not close while its program runs, but tells the layer that the
// user wanted it to.
class Console : public QWidget {
public:
    explicit Console(bool* close_requested)
        : QWidget(nullptr, Qt::Window), close_requested_(close_requested)
    {
    }
    bool running = true;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (running) {
            *close_requested_ = true;
            event->ignore();
            return;
        }
        event->accept();
    }

private:
    bool* close_requested_;
};

// The console window for a program: its output, live, under the program's path.
Console* console_window(const QString& title, bool* close_requested, QPlainTextEdit** text)
{
    Console* window = new Console(close_requested);
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

// Opens a pseudo-terminal; gives its master side and the path of its slave side, or -1.
int open_terminal(QByteArray& slave)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        if (master >= 0)
            close(master);
        return -1;
    }
    slave = ptsname(master);
    // Lines as written, without a carriage return added before each line end.
    termios modes;
    if (tcgetattr(master, &modes) == 0) {
        modes.c_oflag &= static_cast<tcflag_t>(~ONLCR);
        tcsetattr(master, TCSANOW, &modes);
    }
    winsize size{24, 100, 0, 0};
    ioctl(master, TIOCSWINSZ, &size);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
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
    : temporary_root(QDir::tempPath()), folder_(folder)
{
}

Qt_Platform::~Qt_Platform()
{
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        Child& c = it.value();
        if (c.running) {
            c.process->kill();
            c.process->waitForFinished(2000);
        }
        if (c.terminal >= 0)
            close(c.terminal);
        delete c.notifier;
        if (c.window)
            delete c.window;
        delete c.process;
    }
    for (auto it = run_folder_locks_.begin(); it != run_folder_locks_.end(); ++it)
        close(it.value());
}

QString Qt_Platform::application_folder()
{
    return folder_.isEmpty() ? QCoreApplication::applicationDirPath() : folder_;
}

void Qt_Platform::drain(Child& c)
{
    if (c.terminal < 0)
        return;
    char buffer[65536];
    QByteArray got;
    for (;;) {
        const ssize_t n = read(c.terminal, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<int>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // nothing more for now (EAGAIN), or the program's side is closed (EIO)
    }
    if (got.isEmpty())
        return;
    const QString text = QString::fromLocal8Bit(got);
    c.output += text;
    if (c.text != nullptr) {
        // The lines as a terminal would leave them; the form shows the progress.
        c.text->setPlainText(output_lines(c.output).join('\n'));
        c.text->moveCursor(QTextCursor::End);
    }
}

void Qt_Platform::ended(Program_Id id, int exit_status)
{
    Child& c = children_[id];
    drain(c);
    c.running = false;
    c.exit_status = exit_status;
    if (c.notifier != nullptr)
        c.notifier->setEnabled(false);
    if (c.terminal >= 0) {
        close(c.terminal);
        c.terminal = -1;
    }
    if (auto* console = static_cast<Console*>(c.window.data())) {
        console->running = false;
        if (exit_status == 0) {
            console->close();
        } else {
            // A failed program's last lines stay readable until the user closes its window.
            console->setWindowTitle(console->windowTitle() +
                                    (exit_status < 0 ? QString(" (stopped)") : QString(" (exit status %1)").arg(exit_status)));
        }
    }
}

Program_Id Qt_Platform::start_program(const QStringList& command, int window_style, QString& error)
{
    if (command.isEmpty()) {
        error = "the command line is empty";
        return 0;
    }
    const QString program = command.first();
    if (!QFileInfo(program).isExecutable()) {
        error = program + " is not there or cannot be run";
        return 0;
    }
    QByteArray slave;
    const int terminal = open_terminal(slave);
    if (terminal < 0) {
        error = "no terminal could be opened for " + program;
        return 0;
    }
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(command.mid(1));
    // Nobody answers a prompt in these windows: standard input ends at once.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([slave] {
        const int fd = open(slave.constData(), O_RDWR);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
    });
    QPlainTextEdit* text = nullptr;
    Console* window = console_window(program, &close_requested_, &text);
    const Program_Id id = next_id_;
    auto* notifier = new QSocketNotifier(terminal, QSocketNotifier::Read);
    children_.insert(id, Child{process, window, text, terminal, notifier, QString(), next_handle_++, true, -1});
    // Connected before the start, so that no output and no ending can be missed.
    QObject::connect(notifier, &QSocketNotifier::activated, window, [this, id] { drain(children_[id]); });
    QObject::connect(process, &QProcess::finished, process, [this, id](int code, QProcess::ExitStatus how) {
        ended(id, how == QProcess::NormalExit ? code : -1);
    });
    process->start(QIODevice::ReadOnly);
    if (!process->waitForStarted(10000)) {
        error = program + " could not start: " + process->errorString();
        close(terminal);
        delete notifier;
        delete window;
        delete process;
        children_.remove(id);
        return 0;
    }
    ++next_id_;
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
        if (c.window && c.running && c.window->windowTitle().compare(title, Qt::CaseInsensitive) == 0)
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

QString Qt_Platform::program_output(Program_Id program)
{
    auto it = children_.find(program);
    if (it == children_.end())
        return QString();
    drain(it.value());
    return it->output;
}

void Qt_Platform::stop_program(Program_Id program)
{
    auto it = children_.find(program);
    if (it == children_.end() || !it->running)
        return;
    QProcess* process = it->process;
    // Asked first (vintrel then removes what it has not finished), made to if it will not.
    process->terminate();
    if (!process->waitForFinished(STOP_GRACE_MS)) {
        process->kill();
        process->waitForFinished(-1);
    }
}

bool Qt_Platform::take_close_request()
{
    const bool requested = close_requested_;
    close_requested_ = false;
    return requested;
}

bool Qt_Platform::delete_file(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.exists()) {
        error = "there is no file " + path;
        return false;
    }
    if (!file.remove()) {
        error = "cannot delete " + path + ": " + file.errorString();
        return false;
    }
    return true;
}

bool Qt_Platform::move_file(const QString& from, const QString& to, QString& error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    // Across file systems a rename fails: copy beside the target, then rename over it, so the
    // target is never left half-written.
    const QString beside = to + ".vintrel-part";
    QFile::remove(beside);
    if (QFile::copy(from, beside) && ::rename(QFile::encodeName(beside).constData(), QFile::encodeName(to).constData()) == 0) {
        QFile::remove(from);
        return true;
    }
    QFile::remove(beside);
    error = "cannot move " + from + " to " + to + ": " + QString::fromLocal8Bit(strerror(errno));
    return false;
}

bool Qt_Platform::file_exists(const QString& path)
{
    return QFileInfo::exists(path);
}

bool Qt_Platform::same_file(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return stat(QFile::encodeName(a).constData(), &sa) == 0 && stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString Qt_Platform::make_run_folder(QString& error)
{
    QDir root(temporary_root);
    // Folders that killed front-ends left: nobody holds their lock any more.
    for (const QString& name : root.entryList({QString(RUN_FOLDER_PREFIX) + "*"}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = root.filePath(name);
        if (run_folder_locks_.contains(folder))
            continue;
        const int fd = open(QFile::encodeName(folder + "/" + LOCK_NAME).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0)
            QDir(folder).removeRecursively();
        if (fd >= 0)
            close(fd);
    }
    QByteArray pattern = QFile::encodeName(root.filePath(QString(RUN_FOLDER_PREFIX) + "XXXXXX"));
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a folder in " + temporary_root + ": " + QString::fromLocal8Bit(strerror(errno));
        return QString();
    }
    const QString folder = QFile::decodeName(pattern);
    const int lock = open(QFile::encodeName(folder + "/" + LOCK_NAME).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0 && flock(lock, LOCK_EX) == 0) {
        run_folder_locks_.insert(folder, lock);
    } else if (lock >= 0) {
        close(lock);
    }
    return folder;
}

void Qt_Platform::remove_run_folder(const QString& folder)
{
    QDir(folder).removeRecursively();
    auto it = run_folder_locks_.find(folder);
    if (it != run_folder_locks_.end()) {
        close(it.value());
        run_folder_locks_.erase(it);
    }
}

void Qt_Platform::message_box(QWidget* parent, const QString& prompt, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, parent);
    box.exec();
}

bool Qt_Platform::ask(QWidget* parent, const QString& question, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
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

void Qt_Platform::idle()
{
    QEventLoop loop;
    QTimer::singleShot(IDLE_MS, &loop, &QEventLoop::quit);
    loop.exec();
}
