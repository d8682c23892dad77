// The shipping DLLs as the win32 build leaves them in the dist folder, read as files: each is a
// 32-bit x86 DLL, exports exactly the rows of the export table under their plain names and ordinals,
// removes exactly its parameter list from the stack on return (stdcall), and imports only Windows
// system DLLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "disassembly.h"
#include "export_table.h"
#include "objdump_tool.h"
#include "pe_image.h"

#ifndef KELPA_DIST_DIR
#error "the build names the folder of the shipping DLLs in KELPA_DIST_DIR"
#endif

namespace kelpa::test {

// Names a row in test failures. Outside the unnamed namespace, so that the test framework finds it
// next to ExpectedExport.
static void PrintTo(const ExpectedExport& row, std::ostream* out) {
    *out << row.deliverable << " " << row.name << " @" << row.ordinal << " (" << row.parameters << ")";
}

namespace {

// Every deliverable may import these: the kernel, the registry, and the C run-time that ships with
// Windows, on which the MinGW run-time linked into each DLL builds.
constexpr std::string_view kSystemImports[] = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
// The web client adds Windows Sockets 1.1, and the user interface for its message box and wsprintfA.
constexpr std::string_view kWebClientImports[] = {"wsock32.dll", "user32.dll"};
constexpr std::string_view kWebClientDeliverables[] = {"KELPA_BASE", "KELPA_LATTICE", "KELPA_COURIER"};

struct ShippedDll {
    std::filesystem::path path;
    std::string failure;  // why the file could not be read as a PE32 image
    pe::PeImage image;
};

ShippedDll ReadShippedDll(std::string_view deliverable) {
    ShippedDll dll{std::filesystem::path(KELPA_DIST_DIR) / (std::string(deliverable) + ".dll"), {}, {}};
    std::ifstream in(dll.path, std::ios::binary | std::ios::ate);
    if (!in) {
        dll.failure =
            "cannot open " + dll.path.string() + ": build the win32 preset into this dist folder first";
        return dll;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        dll.failure = "cannot read " + dll.path.string();
        return dll;
    }
    pe::ParseOutcome outcome = pe::ParsePeImage(bytes);
    if (!outcome.image) {
        dll.failure = dll.path.string() + ": " + outcome.error;
        return dll;
    }
    dll.image = std::move(*outcome.image);
    return dll;
}

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool Contains(std::span<const std::string_view> words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

class ShippedDeliverable : public ::testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override {
        dll_ = ReadShippedDll(GetParam());
        ASSERT_EQ(dll_.failure, "");
    }

    ShippedDll dll_;
};

TEST_P(ShippedDeliverable, IsA32BitX86Dll) {
    EXPECT_EQ(dll_.image.machine, pe::kMachineI386);
    EXPECT_NE(dll_.image.characteristics & pe::kCharacteristicDll, 0);
}

TEST_P(ShippedDeliverable, ExportDirectoryNamesTheDeliverableFile) {
    ASSERT_TRUE(dll_.image.has_export_directory);
    EXPECT_EQ(dll_.image.export_dll_name, std::string(GetParam()) + ".dll");
}

// Exact equality of (ordinal, name) lists: a decorated name ("_Name@N", "Name@N"), a name at the
// wrong ordinal, an extra name, a slot exported by ordinal alone and a missing row all show in it.
TEST_P(ShippedDeliverable, ExportsExactlyItsTableRowsUnderPlainNames) {
    std::vector<std::pair<std::uint32_t, std::string>> expected;
    for (const ExpectedExport& row : kExpectedExports) {
        if (row.deliverable == GetParam()) {
            expected.emplace_back(row.ordinal, row.name);
        }
    }
    std::vector<std::pair<std::uint32_t, std::string>> exported;
    for (const pe::ExportedFunction& function : dll_.image.exports) {
        EXPECT_FALSE(function.forwarded) << "ordinal " << function.ordinal << " is a forwarder";
        if (function.names.empty()) {
            exported.emplace_back(function.ordinal, "(exported by ordinal alone)");
        }
        for (const std::string& name : function.names) {
            exported.emplace_back(function.ordinal, name);
        }
    }
    std::sort(expected.begin(), expected.end());
    std::sort(exported.begin(), exported.end());
    EXPECT_EQ(exported, expected);
}

TEST_P(ShippedDeliverable, ImportsOnlyItsWindowsSystemDlls) {
    const bool web_client = Contains(kWebClientDeliverables, GetParam());
    std::vector<std::string> foreign;
    for (const std::string& dll : dll_.image.imported_dlls) {
        const std::string name = Lowercase(dll);
        if (!Contains(kSystemImports, name) && !(web_client && Contains(kWebClientImports, name))) {
            foreign.push_back(dll);
        }
    }
    EXPECT_EQ(foreign, std::vector<std::string>{}) << ::testing::PrintToString(dll_.image.imported_dlls);
}

INSTANTIATE_TEST_SUITE_P(Dist, ShippedDeliverable, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

// The stack bytes an export removes on return, read from its machine code. The function's extent comes
// from the DLL's own unwind table (.eh_frame), so every return of the function is checked and none of
// another's. Without an unwind entry starting at the export, only the first return after the entry
// counts, and the listing stops at the next export or the end of the section.
class ShippedExportCode : public ::testing::TestWithParam<ExpectedExport> {};

TEST_P(ShippedExportCode, RemovesExactlyItsParameterListOnReturn) {
    const ExpectedExport& row = GetParam();
    const ShippedDll dll = ReadShippedDll(row.deliverable);
    ASSERT_EQ(dll.failure, "");
    const auto function = std::find_if(
        dll.image.exports.begin(), dll.image.exports.end(), [&row](const pe::ExportedFunction& f) {
            return f.ordinal == static_cast<std::uint32_t>(row.ordinal) &&
                   std::find(f.names.begin(), f.names.end(), row.name) != f.names.end();
        });
    ASSERT_TRUE(function != dll.image.exports.end())
        << row.name << " is not exported at ordinal " << row.ordinal;
    const pe::Section* section = dll.image.SectionOfRva(function->rva);
    ASSERT_NE(section, nullptr) << row.name << " points outside every section";
    ASSERT_TRUE(section->IsCode()) << row.name << " points into " << section->name << ", which holds no code";

    const std::uint64_t base = dll.image.image_base;
    const std::uint64_t entry = base + function->rva;
    const objdump::ToolOutput unwind = objdump::UnwindTable(dll.path);
    ASSERT_EQ(unwind.failure, "");
    const std::vector<disassembly::AddressRange> ranges = disassembly::ParseUnwindRanges(unwind.text);
    const auto own = std::find_if(ranges.begin(), ranges.end(),
                                  [entry](const disassembly::AddressRange& r) { return r.begin == entry; });

    disassembly::CodeExtent extent = disassembly::CodeExtent::kWholeFunction;
    std::uint64_t end = 0;
    if (own != ranges.end()) {
        end = own->end;
    } else {
        extent = disassembly::CodeExtent::kFromEntry;
        end = base + section->EndRva();
        for (const pe::ExportedFunction& other : dll.image.exports) {
            if (other.rva > function->rva) {
                end = std::min(end, base + other.rva);
            }
        }
    }
    const objdump::ToolOutput listing = objdump::Disassemble(dll.path, entry, end);
    ASSERT_EQ(listing.failure, "");
    const std::vector<disassembly::Instruction> code = disassembly::ParseDisassembly(listing.text);
    ASSERT_FALSE(code.empty()) << listing.text;
    ASSERT_EQ(code.front().address, entry) << listing.text;

    const disassembly::ReturnCheck check =
        disassembly::CheckStdcallReturns(code, extent, StdcallArgumentBytes(row.parameters));
    EXPECT_EQ(check.failure, "") << listing.text;
    RecordProperty("first_return", check.first_return);
}

INSTANTIATE_TEST_SUITE_P(Dist, ShippedExportCode, ::testing::ValuesIn(kExpectedExports),
                         [](const auto& info) {
                             return std::string(info.param.deliverable) + "_" + std::string(info.param.name);
                         });

}  // namespace
}  // namespace kelpa::test
