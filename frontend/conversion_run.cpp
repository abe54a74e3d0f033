#include "conversion_run.h"

#include <QLineEdit>

#include "frmmain.h"

QStringList command_line(std::initializer_list<QString> parts)
{
    QStringList command;
    for (const QString& part : parts)
        if (!part.isEmpty())
            command << part;
    return command;
}

namespace {

const char* const PATIENCE = "Please be patient this might be a while";
const char* const DUMMY_NEEDS_OUTPUT = "Select the name of the dummy you wish to create in the output box";
const char* const PATCH_NEEDS_OUTPUT = "Select the name of the patched image in the output box";

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

// Starts a command; on failure the program ends with the platform's error. Gives 0 then.
Program_Id start(frmmain& form, const QStringList& command, int style)
{
    QString error;
    Program_Id program = form.platform.start_program(command, style, error);
    if (program == 0)
        form.platform.end_with_error(&form, error);
    return program;
}

// Waits for the console window titled by title_box to appear and then to go away. A program
// that ends before its window is seen, or never shows one, ends the wait too.
void wait_for_window(frmmain& form, QLineEdit* title_box, Program_Id program)
{
    Form_State& s = form.state;
    while (s.WindowHandle <= 0) {
        s.WindowHandle = form.platform.find_window(title_box->text());
        if (s.WindowHandle > 0 || !form.platform.program_running(program))
            break;
        form.platform.idle();
    }
    while (s.WindowHandle != 0) {
        s.WindowHandle = form.platform.find_window(title_box->text());
        if (s.WindowHandle != 0)
            form.platform.idle();
    }
}

// Runs the converter and then ToolCommand, each waited for; gives the tool's program, or 0
// when a start failed.
Program_Id convert_then_run_tool(frmmain& form)
{
    Program_Id converter = start(form, form.state.ConverterCommand, STYLE_MINIMIZED_NO_FOCUS);
    if (converter == 0)
        return 0;
    wait_for_window(form, form.Text5, converter);
    Program_Id tool = start(form, form.state.ToolCommand, STYLE_MINIMIZED_NO_FOCUS);
    if (tool == 0)
        return 0;
    wait_for_window(form, form.Text6, tool);
    return tool;
}

// The run of the form's mode, to its end.
void run_in_mode(frmmain& form)
{
    Form_State& s = form.state;
    Platform& p = form.platform;
    QString error;
    if (s.RunMode == 4) {
        if (s.OutputPath.isEmpty()) {
            p.message_box(&form, DUMMY_NEEDS_OUTPUT, APPLICATION_TITLE);
            return;
        }
        s.ToolCommand = tool_command(form);
        start(form, s.ToolCommand, STYLE_MAXIMIZED_FOCUS);
        return;
    }
    if (s.RunMode == 3 && s.OutputPath.isEmpty()) {
        p.message_box(&form, PATCH_NEEDS_OUTPUT, APPLICATION_TITLE);
        return;
    }
    s.ToolCommand = tool_command(form);
    p.message_box(&form, PATIENCE, APPLICATION_TITLE);
    const Program_Id tool = convert_then_run_tool(form);
    if (tool == 0)
        return;
    if (s.RunMode == 3 && p.program_exit_status(tool) == 0) {
        // The patched copy of the input becomes the output; the input itself was never opened
        // for writing.
        if (!p.move_file(s.TempPath, s.OutputPath, error))
            p.end_with_error(&form, error);
        return;
    }
    if (!p.delete_file(s.TempPath, error)) {
        p.end_with_error(&form, error);
        return;
    }
    if (s.RunMode == 3)
        p.message_box(&form, "vintrel could not patch the image, so " + s.OutputPath + " was not written",
                      APPLICATION_TITLE);
}

}  // namespace

void conversion_run(frmmain& form)
{
    form.setEnabled(false);
    run_in_mode(form);
    form.setEnabled(true);
}
