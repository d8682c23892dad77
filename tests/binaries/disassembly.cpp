// Parsing objdump's listings, and the stdcall return check.
#include "disassembly.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <span>

namespace kelpa::test::disassembly {
namespace {

// Prefixes objdump prints before a return that leave it a plain near return ("rep ret" is an old
// padding idiom for some processors' branch predictors).
constexpr std::string_view kHarmlessPrefixes[] = {"rep", "repz", "repe", "bnd", "notrack"};
constexpr std::string_view kNearReturns[] = {"ret", "retl"};
constexpr std::string_view kOtherReturns[] = {"retw", "lret", "lretl", "lretw", "iret", "iretl", "iretw"};
constexpr std::string_view kUndecodable = "(bad)";

constexpr std::string_view kSpaces = " \t";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

std::string_view NextWord(std::string_view& text) {
    text = Trim(text);
    const auto end = std::min(text.find_first_of(kSpaces), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

bool Contains(std::span<const std::string_view> words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

template <typename Number>
bool ParseHex(std::string_view text, Number& value) {
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "  6a741835:\tret    $0x28" gives the address and the instruction text; any other line (section
// and symbol headings, "...", blank lines) gives nothing.
std::optional<Instruction> ParseInstructionLine(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    const auto colon = trimmed.find(":\t");
    Instruction instruction;
    if (colon == std::string_view::npos || !ParseHex(trimmed.substr(0, colon), instruction.address)) {
        return std::nullopt;
    }
    std::string_view rest = trimmed.substr(colon + 2);
    std::string_view word = NextWord(rest);
    while (Contains(kHarmlessPrefixes, word)) {
        word = NextWord(rest);
    }
    if (word.empty()) {
        return std::nullopt;
    }
    const auto annotation = std::min(rest.find('<'), rest.find('#'));
    instruction.mnemonic = word;
    instruction.operands = Trim(rest.substr(0, std::min(annotation, rest.size())));
    instruction.line = trimmed;
    return instruction;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::string HexText(std::uint64_t value) {
    char text[2 + 16] = {'0', 'x'};
    return std::string(text, std::to_chars(text + 2, text + sizeof(text), value, 16).ptr);
}

}  // namespace

std::vector<Instruction> ParseDisassembly(std::string_view listing) {
    std::vector<Instruction> code;
    for (std::string_view line : Lines(listing)) {
        if (auto instruction = ParseInstructionLine(line)) {
            code.push_back(std::move(*instruction));
        }
    }
    return code;
}

// An FDE heading reads "00000294 00000048 0000001c FDE cie=0000027c pc=6a741590..6a741765".
std::vector<AddressRange> ParseUnwindRanges(std::string_view listing) {
    std::vector<AddressRange> ranges;
    for (std::string_view line : Lines(listing)) {
        const auto fde = line.find(" FDE ");
        const auto pc = line.find(" pc=");
        if (fde == std::string_view::npos || pc == std::string_view::npos || pc < fde) {
            continue;
        }
        std::string_view bounds = line.substr(pc + 4);
        bounds = NextWord(bounds);
        const auto dots = bounds.find("..");
        AddressRange range;
        if (dots != std::string_view::npos && ParseHex(bounds.substr(0, dots), range.begin) &&
            ParseHex(bounds.substr(dots + 2), range.end) && range.begin < range.end) {
            ranges.push_back(range);
        }
    }
    return ranges;
}

bool IsReturn(const Instruction& instruction) {
    return Contains(kNearReturns, instruction.mnemonic) || Contains(kOtherReturns, instruction.mnemonic);
}

std::optional<int> NearReturnBytes(const Instruction& instruction) {
    if (!Contains(kNearReturns, instruction.mnemonic)) {
        return std::nullopt;
    }
    if (instruction.operands.empty()) {
        return 0;
    }
    std::uint16_t bytes = 0;  // the operand of a near return is a 16-bit immediate
    if (!instruction.operands.starts_with('$') ||
        !ParseHex(std::string_view(instruction.operands).substr(1), bytes)) {
        return std::nullopt;
    }
    return bytes;
}

ReturnCheck CheckStdcallReturns(const std::vector<Instruction>& code, CodeExtent extent, int argument_bytes) {
    ReturnCheck check;
    const auto first_return = std::find_if(code.begin(), code.end(), IsReturn);
    // From the entry alone, only the code up to the first return is known to be the export's.
    const auto end = extent == CodeExtent::kWholeFunction || first_return == code.end()
                         ? code.end()
                         : std::next(first_return);
    const auto undecodable = std::find_if(code.begin(), end, [](const Instruction& instruction) {
        return instruction.mnemonic == kUndecodable;
    });
    if (undecodable != end) {
        check.failure = "objdump could not decode the export's code: " + undecodable->line;
        return check;
    }
    if (first_return == code.end()) {
        check.failure = extent == CodeExtent::kWholeFunction
                            ? "the function has no return instruction of its own (it leaves only by jumps)"
                            : "no return instruction follows the entry";
        return check;
    }
    check.first_return = first_return->line;
    for (auto instruction = first_return; instruction != end; ++instruction) {
        if (!IsReturn(*instruction)) {
            continue;
        }
        const std::optional<int> bytes = NearReturnBytes(*instruction);
        if (!bytes) {
            check.failure = instruction->line + ": not a near 32-bit return";
        } else if (*bytes != argument_bytes && *bytes == 0) {
            check.failure = instruction->line + ": a plain ret leaves the " + std::to_string(argument_bytes) +
                            " argument bytes on the stack, so the export is not stdcall (ret $" +
                            HexText(static_cast<std::uint64_t>(argument_bytes)) + " expected)";
        } else if (*bytes != argument_bytes) {
            check.failure = instruction->line + ": removes " + std::to_string(*bytes) +
                            " bytes, the parameter list takes " + std::to_string(argument_bytes);
        }
        if (!check.failure.empty()) {
            return check;
        }
    }
    return check;
}

}  // namespace kelpa::test::disassembly
