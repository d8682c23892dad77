#include "curl_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "stopwatch.h"

extern char** environ;

namespace kelpa::bench {
namespace {

// Runs `arguments` with its output and errors sent to /dev/null; its exit status, or -1.
int RunQuietly(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace

bool CurlAvailable() { return RunQuietly({"curl", "--version"}) == 0; }

double TimeCurlFetches(const std::string& url, long count) {
    // HTTP/1.0 like the web client, and a failed fetch fails the run.
    std::vector<std::string> arguments{"curl", "--silent", "--fail", "--http1.0"};
    for (long index = 0; index < count; ++index) {
        arguments.push_back(url);
    }
    const double start = NowNanoseconds();
    const int status = RunQuietly(std::move(arguments));
    const double elapsed = NowNanoseconds() - start;
    return status == 0 ? elapsed : -1;
}

}  // namespace kelpa::bench
