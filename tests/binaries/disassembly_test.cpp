// Reading objdump's listings, and the stdcall return check over them: listings in the shape objdump
// prints for the shipping DLLs, and the ways an export's code can fail the check.
#include <gtest/gtest.h>

#include <string>

#include "disassembly.h"

namespace kelpa::test::disassembly {
namespace {

TEST(DisassemblyListing, ReadsInstructionsAndSkipsHeadingsAndAnnotations) {
    const std::vector<Instruction> code = ParseDisassembly(
        "\n"
        "KELPA_LATTICE.dll:     file format pei-i386\n"
        "\n"
        "\n"
        "Disassembly of section .text:\n"
        "\n"
        "6a741770 <_LATTICE2@40>:\n"
        "6a741770:\tpush   %ebp\n"
        "6a7417bb:\tcall   6a741510 <__ZN5kelpa5frame14OperationsLockEv>\n"
        "6a741867:\tjmp    6a741820 <_LATTICE2@40+0xb0>\n"
        "\t...\n"
        "6a741835:\tret    $0x28\n"
        "6a741838:\tlea    0x0(%esi,%eiz,1),%esi\n");
    ASSERT_EQ(code.size(), 5u);
    EXPECT_EQ(code[0].address, 0x6a741770u);
    EXPECT_EQ(code[0].mnemonic, "push");
    EXPECT_EQ(code[0].operands, "%ebp");
    EXPECT_EQ(code[1].operands, "6a741510");
    EXPECT_EQ(code[2].mnemonic, "jmp");
    EXPECT_EQ(code[3].address, 0x6a741835u);
    EXPECT_EQ(code[3].line, "6a741835:\tret    $0x28");
    EXPECT_EQ(NearReturnBytes(code[3]), 40);
    EXPECT_EQ(code[4].operands, "0x0(%esi,%eiz,1),%esi");
}

TEST(DisassemblyListing, ReadsTheFunctionExtentsOfTheUnwindTable) {
    const std::vector<AddressRange> ranges = ParseUnwindRanges(
        "Contents of the .eh_frame section:\n"
        "\n"
        "00000000 00000014 00000000 CIE\n"
        "  Augmentation:          \"zR\"\n"
        "00000294 00000048 0000001c FDE cie=0000027c pc=6a741590..6a741765\n"
        "  DW_CFA_advance_loc: 1 to 6a741591\n"
        "000002e0 00000070 00000068 FDE cie=0000027c pc=6a741770..6a7418bb\n"
        "00000300 00000010 00000010 FDE cie=0000027c pc=6a741900..6a741900\n");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].begin, 0x6a741590u);
    EXPECT_EQ(ranges[0].end, 0x6a741765u);
    EXPECT_EQ(ranges[1].begin, 0x6a741770u);
    EXPECT_EQ(ranges[1].end, 0x6a7418bbu);
}

struct ReturnLine {
    const char* label;
    const char* line;
    bool is_return;
    std::optional<int> near_bytes;
};

class ReturnInstruction : public ::testing::TestWithParam<ReturnLine> {};

TEST_P(ReturnInstruction, IsClassifiedByItsMnemonicAndOperand) {
    const std::vector<Instruction> code = ParseDisassembly(GetParam().line);
    ASSERT_EQ(code.size(), 1u);
    EXPECT_EQ(IsReturn(code[0]), GetParam().is_return);
    EXPECT_EQ(NearReturnBytes(code[0]), GetParam().near_bytes);
}

const ReturnLine kReturnLines[] = {
    {"ImmediateBytes", "6b70163f:\tret    $0x3c", true, 60},
    {"Plain", "6b70163f:\tret", true, 0},
    {"PlainWithTrailingSpaces", "6b70163f:\tret    ", true, 0},
    {"RepPrefixed", "6b70163f:\trepz ret", true, 0},
    {"LongForm", "6b70163f:\tretl   $0x7c", true, 124},
    {"SixteenBit", "6b70163f:\tretw   $0x8", true, std::nullopt},
    {"Far", "6b70163f:\tlret   $0x8", true, std::nullopt},
    {"Interrupt", "6b70163f:\tiret", true, std::nullopt},
    {"JumpToASymbolNamedRet", "6b70163f:\tjmp    6b701700 <_ret>", false, std::nullopt},
    {"ImmediateNotHex", "6b70163f:\tret    %eax", true, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(ObjdumpLines, ReturnInstruction, ::testing::ValuesIn(kReturnLines),
                         [](const auto& info) { return std::string(info.param.label); });

struct StdcallCase {
    const char* label;
    const char* listing;
    CodeExtent extent;
    int argument_bytes;
    const char* failure;  // a part of the failure message; empty when the code passes
};

class StdcallReturnCheck : public ::testing::TestWithParam<StdcallCase> {};

TEST_P(StdcallReturnCheck, JudgesTheReturnsOfTheListedCode) {
    const ReturnCheck check = CheckStdcallReturns(ParseDisassembly(GetParam().listing), GetParam().extent,
                                                  GetParam().argument_bytes);
    if (std::string(GetParam().failure).empty()) {
        EXPECT_EQ(check.failure, "");
    } else {
        EXPECT_NE(check.failure.find(GetParam().failure), std::string::npos) << check.failure;
    }
}

// Two return paths, both removing 40 bytes, with a jump between them.
constexpr const char* kTwoReturns =
    "10001000:\tpush   %ebx\n"
    "10001001:\tje     10001010 <_f@40+0x10>\n"
    "10001003:\tpop    %ebx\n"
    "10001004:\tret    $0x28\n"
    "10001010:\txor    %eax,%eax\n"
    "10001012:\tpop    %ebx\n"
    "10001013:\tret    $0x28\n";

// The first path removes 40 bytes, the second none.
constexpr const char* kMismatchedSecondReturn =
    "10001000:\tpush   %ebx\n"
    "10001001:\tje     10001010 <_f@40+0x10>\n"
    "10001004:\tret    $0x28\n"
    "10001010:\tpop    %ebx\n"
    "10001013:\tret\n";

const StdcallCase kStdcallCases[] = {
    {"EveryReturnRemovesTheArguments", kTwoReturns, CodeExtent::kWholeFunction, 40, ""},
    {"FirstReturnFromTheEntry", kTwoReturns, CodeExtent::kFromEntry, 40, ""},
    {"WrongByteCount", kTwoReturns, CodeExtent::kFromEntry, 44,
     "10001004:\tret    $0x28: removes 40 bytes, the parameter list takes 44"},
    {"CdeclReturn", "10001000:\txor    %eax,%eax\n10001002:\tret\n", CodeExtent::kWholeFunction, 8,
     "a plain ret leaves the 8 argument bytes on the stack, so the export is not stdcall (ret $0x8 "
     "expected)"},
    {"NoArgumentsPlainReturn", "10001000:\txor    %eax,%eax\n10001002:\tret\n", CodeExtent::kWholeFunction, 0,
     ""},
    {"SecondReturnOfTheFunctionDiffers", kMismatchedSecondReturn, CodeExtent::kWholeFunction, 40,
     "10001013:\tret: a plain ret leaves the 40 argument bytes"},
    {"CodeAfterTheFirstReturnMayBelongElsewhere", kMismatchedSecondReturn, CodeExtent::kFromEntry, 40, ""},
    {"LeavesOnlyByATailJump", "10001000:\tpop    %ebx\n10001001:\tjmp    10002000 <_g@40>\n",
     CodeExtent::kWholeFunction, 40, "has no return instruction of its own"},
    {"NothingReturnsFromTheEntry", "10001000:\tpop    %ebx\n", CodeExtent::kFromEntry, 40,
     "no return instruction follows the entry"},
    {"UndecodableBytesBeforeTheReturn", "10001000:\t(bad)\n10001001:\tret    $0x28\n", CodeExtent::kFromEntry,
     40, "objdump could not decode the export's code: 10001000:\t(bad)"},
    {"FarReturn", "10001000:\tlret   $0x28\n", CodeExtent::kFromEntry, 40,
     "10001000:\tlret   $0x28: not a near 32-bit return"},
};

INSTANTIATE_TEST_SUITE_P(Listings, StdcallReturnCheck, ::testing::ValuesIn(kStdcallCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelpa::test::disassembly
