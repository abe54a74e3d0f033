#include "conversion_run.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

#include "frmmain.h"
#include "run_output.h"

QStringList command_line(std::initializer_list<QString> parts)
{
    QStringList command;
    for (const QString& part : parts)
        if (!part.isEmpty())
            command << part;
    return command;
}

QString path_in(const QLineEdit* box)
{
    const QString text = box->text().trimmed();
    if (text.startsWith(QLatin1String("file:")))
        return QUrl(text).toLocalFile();
    return text;
}

QString failure_message(const QString& step, Platform& platform, Program_Id program)
{
    const int status = platform.program_exit_status(program);
    QString text = step + (status < 0 ? QStringLiteral(" was stopped by a signal.")
                                      : QStringLiteral(" failed (exit status %1).").arg(status));
    const QStringList lines = error_lines(platform.program_output(program));
    if (!lines.isEmpty())
        text += QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    return text;
}

namespace {

const char* const PATIENCE = "Please be patient this might be a while";
const char* const DUMMY_NEEDS_OUTPUT = "Select the name of the dummy you wish to create in the output box";
const char* const NEEDS_INPUT = "Select the raw image to convert in the input box";
const char* const NEEDS_OUTPUT = "Select the name of the new image in the output box";

// ToolCommand for the run mode.
QStringList tool_command(frmmain& form)
{
    const QString vintrel = form.platform.application_folder() + "/vintrel";
    const Form_State& s = form.state;
    switch (s.RunMode) {
    case 1: return command_line({vintrel, "a", s.TempPath, s.OutputPath});
    case 2: return command_line({vintrel, "n", s.TempPath, s.OutputPath, form.Text3->text()});
    case 3: return command_line({vintrel, "p", s.TempPath});
    default: return command_line({vintrel, "g", s.OutputPath, form.Text4->text()});
    }
}

// How a step of the run ended.
enum class Ended { Done, Failed, Cancelled };

// Waits for a started program to end, following the program (not its window): its progress
// goes to the form, and a request to cancel (the Cancel button, the main window or the
// program's console window closed) stops it.
Ended wait_for(frmmain& form, Program_Id program, const QLineEdit* title_box)
{
    Form_State& s = form.state;
    Platform& p = form.platform;
    while (p.program_running(program)) {
        s.WindowHandle = p.find_window(title_box->text());
        form.show_progress(progress_percent(p.program_output(program)));
        if (p.take_close_request() &&
            p.ask(&form, "The program is still running. Cancel the run?", APPLICATION_TITLE))
            s.CancelRequested = true;
        if (s.CancelRequested) {
            p.stop_program(program);
            s.WindowHandle = 0;
            return Ended::Cancelled;
        }
        p.idle();
    }
    s.WindowHandle = 0;
    return p.program_exit_status(program) == 0 ? Ended::Done : Ended::Failed;
}

// Runs one step to its end; on failure message says why.
Ended run_step(frmmain& form, const QStringList& command, const QLineEdit* title_box, const QString& step,
               QString& message)
{
    form.show_step(step);
    QString error;
    const Program_Id program = form.platform.start_program(command, STYLE_MINIMIZED_NO_FOCUS, error);
    if (program == 0) {
        message = step + " could not start: " + error;
        return Ended::Failed;
    }
    const Ended ended = wait_for(form, program, title_box);
    if (ended == Ended::Failed)
        message = failure_message(step, form.platform, program);
    return ended;
}

// Auto, Normal or Patcher Mode from the converter on; gives how it ended, and its message.
Ended convert(frmmain& form, QString& message)
{
    Form_State& s = form.state;
    Platform& p = form.platform;
    s.ConverterCommand = command_line({p.application_folder() + "/bin2iso", s.InputPath, s.TempPath});
    s.ToolCommand = tool_command(form);
    p.message_box(&form, PATIENCE, APPLICATION_TITLE);
    Ended ended = run_step(form, s.ConverterCommand, form.Text5, "Converting " + s.InputPath + " with bin2iso", message);
    if (ended != Ended::Done)
        return ended;
    const QString step = s.RunMode == 3 ? "Patching the converted copy of " + s.InputPath + " with vintrel"
                                        : "Building " + s.OutputPath + " with vintrel";
    ended = run_step(form, s.ToolCommand, form.Text6, step, message);
    if (ended != Ended::Done)
        return ended;
    QString error;
    // The patched copy of the input becomes the output; the input itself is never written.
    if (s.RunMode == 3 && !p.move_file(s.TempPath, s.OutputPath, error)) {
        message = "The patched image could not be saved as " + s.OutputPath + ": " + error;
        return Ended::Failed;
    }
    message = "Done: SYSTEM.CNF now lies at sector 12231 of " + s.OutputPath +
              (s.RunMode == 3 ? ", a patched copy of " + s.InputPath + "." : QStringLiteral("."));
    return Ended::Done;
}

// Checks what the form holds before anything starts; gives an empty text or what to fix.
QString refusal(frmmain& form)
{
    const Form_State& s = form.state;
    if (s.RunMode == 4)
        return s.OutputPath.isEmpty() ? DUMMY_NEEDS_OUTPUT : QString();
    if (s.InputPath.isEmpty())
        return NEEDS_INPUT;
    if (s.OutputPath.isEmpty())
        return NEEDS_OUTPUT;
    if (QFileInfo(s.InputPath).absoluteFilePath() == QFileInfo(s.OutputPath).absoluteFilePath() ||
        form.platform.same_file(s.InputPath, s.OutputPath))
        return "The output " + s.OutputPath + " is the input image itself; choose another name, so that the input "
               "is not overwritten.";
    return QString();
}

// Dummy Creator: vintrel is started and the run returns; the form tells how it ended.
void create_dummy(frmmain& form)
{
    Form_State& s = form.state;
    s.ToolCommand = tool_command(form);
    QString error;
    const Program_Id program = form.platform.start_program(s.ToolCommand, STYLE_MAXIMIZED_FOCUS, error);
    if (program == 0) {
        form.platform.message_box(&form, "vintrel could not start: " + error, APPLICATION_TITLE);
        return;
    }
    form.follow_dummy(program, s.OutputPath, form.Text4->text());
}

}  // namespace

void conversion_run(frmmain& form)
{
    Form_State& s = form.state;
    Platform& p = form.platform;
    s.InputPath = path_in(form.Text1);
    s.OutputPath = path_in(form.Text2);
    const QString refused = refusal(form);
    if (!refused.isEmpty()) {
        p.message_box(&form, refused, APPLICATION_TITLE);
        return;
    }
    if (s.RunMode == 4) {
        create_dummy(form);
        return;
    }
    QString error;
    s.RunFolder = p.make_run_folder(error);
    if (s.RunFolder.isEmpty()) {
        p.message_box(&form, "No folder could be made for the intermediate image: " + error, APPLICATION_TITLE);
        return;
    }
    s.TempPath = s.RunFolder + "/temp.iso";
    const bool output_existed = p.file_exists(s.OutputPath);
    form.begin_run();
    QString message;
    const Ended ended = convert(form, message);
    // The intermediate image never outlives its run; nor does an output that a failed or
    // cancelled run created.
    if (p.file_exists(s.TempPath))
        p.delete_file(s.TempPath, error);
    p.remove_run_folder(s.RunFolder);
    s.RunFolder.clear();
    if (ended != Ended::Done && !output_existed && p.file_exists(s.OutputPath))
        p.delete_file(s.OutputPath, error);
    form.end_run();
    if (ended == Ended::Cancelled)
        message = "The run was cancelled; " + s.OutputPath + " was not written.";
    if (!s.CloseAfterRun)
        p.message_box(&form, message, APPLICATION_TITLE);
    s.CancelRequested = false;
    if (s.CloseAfterRun)
        form.close();
}
