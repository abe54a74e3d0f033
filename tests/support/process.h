#pragma once
// Runs a program as a child process with arguments and standard input, collecting its
// standard output and exit status.

#include <string>
#include <vector>

struct Run_Result {
    int status = -1;     // exit status, or -1 when it did not exit normally
    int signal = 0;      // the signal that ended it, or 0
    std::string out;     // everything written to standard output
    std::string err;     // everything written to standard error
};

// Runs argv[0] with argv (argv[0] included) and the given standard input in folder cwd
// (empty: the current one). When stdin_text is null, standard input is /dev/null.
Run_Result run_program(const std::vector<std::string>& argv, const char* stdin_text = nullptr,
                       const std::string& cwd = "");

// Runs a shell command, giving its exit status; output goes to out when not null.
int run_shell(const std::string& command, std::string* out = nullptr);

// The path of the built vintrel.
std::string vintrel_path();

// Runs the built vintrel with the arguments after argv[0] (given as args[0]).
Run_Result run_vintrel(const std::vector<std::string>& args, const char* stdin_text = nullptr,
                       const std::string& cwd = "");

// The path of vintrel built with the tests' step hook.
std::string hooked_vintrel_path();

// Runs the hooked vintrel with VINTREL_HOOK set to hook ("STEP:ACTION", see step_hook.cpp).
Run_Result run_hooked_vintrel(const std::string& hook, const std::vector<std::string>& args);

// A program started in the background, with its standard output and error going to a file.
struct Started {
    int pid = -1;
    std::string output;  // the file that takes its output
};

// Starts argv[0] with argv; env entries ("NAME=VALUE") are added to its environment.
Started start_program(const std::vector<std::string>& argv, const std::string& output,
                      const std::vector<std::string>& env = {});

// Waits until the program has stopped itself (SIGSTOP); false when it ended instead.
bool wait_until_stopped(const Started& program);

// Waits for the program's end and gives its status, signal and output.
Run_Result wait_for(const Started& program);
