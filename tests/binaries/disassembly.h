// Reading what the cross objdump prints: the instructions of a disassembly listing (taken with
// --no-show-raw-insn, AT&T syntax) and the function extents of an unwind table (--dwarf=frames); and
// the check that an export's code returns removing exactly its arguments from the stack. Pure: the
// text comes in, nothing is run here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::test::disassembly {

struct Instruction {
    std::uint64_t address = 0;
    std::string mnemonic;  // prefixes that do not change the instruction ("repz", "bnd") left out
    std::string operands;  // objdump's annotations ("<symbol+0x10>", "# comment") left out
    std::string line;      // as objdump printed it, for messages
};

std::vector<Instruction> ParseDisassembly(std::string_view listing);

// [begin, end) of one function, from one FDE of the unwind table.
struct AddressRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

std::vector<AddressRange> ParseUnwindRanges(std::string_view listing);

bool IsReturn(const Instruction& instruction);

// The stack bytes a near 32-bit return removes after popping the return address: 0 for "ret", N for
// "ret $N". Nothing for any other instruction, far, interrupt and 16-bit returns included.
std::optional<int> NearReturnBytes(const Instruction& instruction);

enum class CodeExtent {
    kWholeFunction,  // the listing is exactly the function, as the unwind table bounds it
    kFromEntry,      // the listing starts at the entry and may run on into code that follows it
};

struct ReturnCheck {
    std::string failure;       // empty when the code returns as a stdcall function of its parameters
    std::string first_return;  // the line of the first return, when there is one
};

// Over the whole function, every return must remove `argument_bytes`; from the entry alone, the first
// return in linear order must (what follows it may belong to another function).
ReturnCheck CheckStdcallReturns(const std::vector<Instruction>& code, CodeExtent extent, int argument_bytes);

}  // namespace kelpa::test::disassembly
