// Runs the cross objdump (i686-w64-mingw32-objdump, installed with the cross compiler) on a shipping
// DLL and hands back what it printed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kelpa::test::objdump {

struct ToolOutput {
    std::string text;
    std::string failure;  // empty when the tool ran and exited with 0
};

// The instructions in [begin, end), addresses in the loaded image, AT&T syntax, no raw bytes.
ToolOutput Disassemble(const std::filesystem::path& file, std::uint64_t begin, std::uint64_t end);

// The unwind table (.eh_frame) as objdump decodes it: one FDE, with its address range, per function.
ToolOutput UnwindTable(const std::filesystem::path& file);

}  // namespace kelpa::test::objdump
