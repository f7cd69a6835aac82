#include "VictimRun.h"

#include "TestSupport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orva::test {

VictimRun RunVictim(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                    const std::string& outputFile) {
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    VictimRun run;
    run.pid = fork();
    if (run.pid == 0) {
        // No controlling terminal and no input: the victim must never wait for a person.
        setsid();
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(126);
    }
    if (run.pid < 0)
        return run;
    // Only a guard against a hung victim, far beyond what a run takes.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(run.pid, &status, WNOHANG);
        if (done == run.pid)
            break;
        if (done < 0 && errno != EINTR)
            return run;
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            run.output = readFile(outputFile) + "\n(stopped: the victim hung)";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    run.output = readFile(outputFile);
    return run;
}

std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

bool ProgramAvailable(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace orva::test
