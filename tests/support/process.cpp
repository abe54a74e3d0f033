#include "process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In a child: runs argv[0] with argv, or ends with 127.
[[noreturn]] void exec_program(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

}  // namespace

Run_Result run_program(const std::vector<std::string>& argv, const char* stdin_text,
                       const std::string& cwd)
{
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (stdin_text != nullptr) {
            dup2(in_pipe[0], 0);
        } else {
            int null_fd = open("/dev/null", O_RDONLY);
            dup2(null_fd, 0);
        }
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
            close(fd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        exec_program(argv);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (stdin_text != nullptr) {
        size_t left = strlen(stdin_text);
        const char* p = stdin_text;
        while (left > 0) {
            ssize_t put = write(in_pipe[1], p, left);
            if (put <= 0)
                break;
            p += put;
            left -= static_cast<size_t>(put);
        }
    }
    close(in_pipe[1]);

    Run_Result result;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    int open_count = 2;
    while (open_count > 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

int run_shell(const std::string& command, std::string* out)
{
    Run_Result r = run_program({"/bin/sh", "-c", command});
    if (out != nullptr)
        *out = r.out + r.err;
    return r.status;
}

std::string vintrel_path()
{
    return VINTREL_BINARY;
}

Run_Result run_vintrel(const std::vector<std::string>& args, const char* stdin_text,
                       const std::string& cwd)
{
    std::vector<std::string> argv = {vintrel_path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, stdin_text, cwd);
}

std::string hooked_vintrel_path()
{
    return VINTREL_HOOKED_BINARY;
}

Run_Result run_hooked_vintrel(const std::string& hook, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"/usr/bin/env", "VINTREL_HOOK=" + hook, hooked_vintrel_path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv);
}

Started start_program(const std::vector<std::string>& argv, const std::string& output,
                      const std::vector<std::string>& env)
{
    Started started;
    started.output = output;
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int null_fd = open("/dev/null", O_RDONLY);
        int out_fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null_fd, 0);
        dup2(out_fd, 1);
        dup2(out_fd, 2);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        exec_program(argv);
    }
    started.pid = pid;
    return started;
}

bool wait_until_stopped(const Started& program)
{
    int status = 0;
    if (waitpid(program.pid, &status, WUNTRACED) != program.pid)
        return false;
    if (WIFSTOPPED(status))
        return true;
    // It ended: keep its status for wait_for.
    throw std::runtime_error("the program ended before it stopped");
}

Run_Result wait_for(const Started& program)
{
    Run_Result result;
    int status = 0;
    waitpid(program.pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::string text;
    int fd = open(program.output.c_str(), O_RDONLY);
    char buffer[65536];
    for (ssize_t got; fd >= 0 && (got = read(fd, buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<size_t>(got));
    if (fd >= 0)
        close(fd);
    return result;
}
