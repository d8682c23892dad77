// The objdump runs, through popen.
#include "objdump_tool.h"

#include <sys/wait.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <vector>

#ifndef KELPA_OBJDUMP
#error "the build names the cross objdump in KELPA_OBJDUMP"
#endif

namespace kelpa::test::objdump {
namespace {

// Read size of one pass over the tool's output.
constexpr std::size_t kReadChunk = 4096;
// How much of a failed run's output a message repeats.
constexpr std::size_t kFailureExcerpt = 2000;

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Address(std::uint64_t value) {
    char text[2 + 16] = {'0', 'x'};
    return std::string(text, std::to_chars(text + 2, text + sizeof(text), value, 16).ptr);
}

struct PipeCloser {
    void operator()(FILE* pipe) const { pclose(pipe); }
};

ToolOutput Run(const std::vector<std::string>& arguments) {
    std::string command = ShellQuoted(KELPA_OBJDUMP);
    for (const std::string& argument : arguments) {
        command += " " + ShellQuoted(argument);
    }
    command += " 2>&1";

    ToolOutput output;
    FILE* raw = popen(command.c_str(), "r");
    if (raw == nullptr) {
        output.failure = "could not start: " + command;
        return output;
    }
    std::unique_ptr<FILE, PipeCloser> pipe(raw);
    char chunk[kReadChunk];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), pipe.get())) > 0) {
        output.text.append(chunk, got);
    }
    const int status = pclose(pipe.release());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        output.failure = command + " failed (status " + std::to_string(status) +
                         "): " + output.text.substr(0, kFailureExcerpt);
    }
    return output;
}

}  // namespace

ToolOutput Disassemble(const std::filesystem::path& file, std::uint64_t begin, std::uint64_t end) {
    // Runs of zero bytes are listed as instructions too, rather than skipped as "...".
    return Run({"--disassemble", "--disassemble-zeroes", "--no-show-raw-insn",
                "--start-address=" + Address(begin), "--stop-address=" + Address(end), file.string()});
}

ToolOutput UnwindTable(const std::filesystem::path& file) { return Run({"--dwarf=frames", file.string()}); }

}  // namespace kelpa::test::objdump
