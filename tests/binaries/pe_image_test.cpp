// The PE32 reader on a small hand-made DLL image, sound and corrupted: the checker of the shipping
// DLLs must neither crash on a damaged file nor read a table out of garbage.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pe_image.h"

namespace kelpa::test::pe {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Where the hand-made image keeps its parts, as file offsets.
constexpr std::size_t kNewHeader = 0x40;
constexpr std::size_t kCoff = kNewHeader + 4;
constexpr std::size_t kOptional = kCoff + 20;
constexpr std::size_t kOptionalSize = 96 + 16 * 8;  // the fixed part and all 16 data directories
constexpr std::size_t kDirectories = kOptional + 96;
constexpr std::size_t kSectionTable = kOptional + kOptionalSize;
constexpr std::size_t kSectionData = 0x200;
constexpr std::size_t kSectionSize = 0x110;

// Its one section, .rdata, is mapped at this RVA and holds, at these offsets into it:
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::size_t kExportDirectory = 0x00;
constexpr std::size_t kExportFunctions = 0x28;  // three slots; the middle one unused
constexpr std::size_t kExportNames = 0x34;
constexpr std::size_t kExportNameOrdinals = 0x3C;
constexpr std::size_t kDllName = 0x40;
constexpr std::size_t kAlphaName = 0x50;
constexpr std::size_t kBetaName = 0x58;
constexpr std::size_t kImportDescriptors = 0x60;  // two, then the closing empty one
constexpr std::size_t kKernelName = 0xA0;
constexpr std::size_t kRuntimeName = 0xB0;
constexpr std::size_t kDelayImportDescriptors = 0xC0;  // one, then the closing empty one
constexpr std::size_t kUserName = 0x100;

constexpr std::uint32_t kImageBase = 0x10000000;
constexpr std::uint32_t kOrdinalBase = 5;

constexpr std::uint32_t Rva(std::size_t offset_in_section) {
    return kSectionRva + static_cast<std::uint32_t>(offset_in_section);
}

void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Put16(bytes, offset, static_cast<std::uint16_t>(value));
    Put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutText(Bytes& bytes, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutInSection(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Put32(bytes, kSectionData + offset, value);
}

// A DLL named TEST.dll exporting Alpha at ordinal 5 and Beta at ordinal 7, importing KERNEL32.dll and
// msvcrt.dll, and USER32.dll by delay-load. Its last section ends at the end of the file, so any
// truncation cuts into data the reader must check.
Bytes SmallDll() {
    Bytes bytes(kSectionData + kSectionSize, 0);
    PutText(bytes, 0, "MZ");
    Put32(bytes, 0x3C, kNewHeader);
    PutText(bytes, kNewHeader, std::string_view("PE\0\0", 4));
    Put16(bytes, kCoff, kMachineI386);
    Put16(bytes, kCoff + 2, 1);  // sections
    Put16(bytes, kCoff + 16, kOptionalSize);
    Put16(bytes, kCoff + 18, 0x2102);  // DLL, 32-bit machine, executable
    Put16(bytes, kOptional, 0x10B);
    Put32(bytes, kOptional + 28, kImageBase);
    Put32(bytes, kOptional + 92, 16);
    Put32(bytes, kDirectories + 0 * 8, Rva(kExportDirectory));
    Put32(bytes, kDirectories + 0 * 8 + 4, 0x60);
    Put32(bytes, kDirectories + 1 * 8, Rva(kImportDescriptors));
    Put32(bytes, kDirectories + 1 * 8 + 4, 3 * 20);
    Put32(bytes, kDirectories + 13 * 8, Rva(kDelayImportDescriptors));
    Put32(bytes, kDirectories + 13 * 8 + 4, 2 * 32);

    PutText(bytes, kSectionTable, ".rdata");
    Put32(bytes, kSectionTable + 8, kSectionSize);
    Put32(bytes, kSectionTable + 12, kSectionRva);
    Put32(bytes, kSectionTable + 16, kSectionSize);
    Put32(bytes, kSectionTable + 20, kSectionData);
    Put32(bytes, kSectionTable + 36, 0x40000040);  // initialised data, readable

    PutInSection(bytes, kExportDirectory + 12, Rva(kDllName));
    PutInSection(bytes, kExportDirectory + 16, kOrdinalBase);
    PutInSection(bytes, kExportDirectory + 20, 3);
    PutInSection(bytes, kExportDirectory + 24, 2);
    PutInSection(bytes, kExportDirectory + 28, Rva(kExportFunctions));
    PutInSection(bytes, kExportDirectory + 32, Rva(kExportNames));
    PutInSection(bytes, kExportDirectory + 36, Rva(kExportNameOrdinals));
    PutInSection(bytes, kExportFunctions, 0x2010);
    PutInSection(bytes, kExportFunctions + 8, 0x2020);
    PutInSection(bytes, kExportNames, Rva(kAlphaName));
    PutInSection(bytes, kExportNames + 4, Rva(kBetaName));
    Put16(bytes, kSectionData + kExportNameOrdinals, 0);
    Put16(bytes, kSectionData + kExportNameOrdinals + 2, 2);
    PutText(bytes, kSectionData + kDllName, "TEST.dll");
    PutText(bytes, kSectionData + kAlphaName, "Alpha");
    PutText(bytes, kSectionData + kBetaName, "Beta");

    PutInSection(bytes, kImportDescriptors + 12, Rva(kKernelName));
    PutInSection(bytes, kImportDescriptors + 16, 0x3000);
    PutInSection(bytes, kImportDescriptors + 20 + 12, Rva(kRuntimeName));
    PutInSection(bytes, kImportDescriptors + 20 + 16, 0x3100);
    PutText(bytes, kSectionData + kKernelName, "KERNEL32.dll");
    PutText(bytes, kSectionData + kRuntimeName, "msvcrt.dll");

    PutInSection(bytes, kDelayImportDescriptors, 1);  // names are RVAs
    PutInSection(bytes, kDelayImportDescriptors + 4, Rva(kUserName));
    PutText(bytes, kSectionData + kUserName, "USER32.dll");
    return bytes;
}

TEST(PeImageReader, ReadsTheTablesOfASoundImageExactly) {
    const Bytes bytes = SmallDll();
    const ParseOutcome outcome = ParsePeImage(bytes);
    ASSERT_TRUE(outcome.image.has_value()) << outcome.error;
    const PeImage& image = *outcome.image;
    EXPECT_EQ(image.machine, kMachineI386);
    EXPECT_EQ(image.characteristics, 0x2102);
    EXPECT_EQ(image.image_base, kImageBase);
    ASSERT_EQ(image.sections.size(), 1u);
    EXPECT_EQ(image.sections[0].name, ".rdata");
    EXPECT_EQ(image.sections[0].virtual_address, kSectionRva);
    EXPECT_EQ(image.sections[0].raw_offset, kSectionData);
    EXPECT_FALSE(image.sections[0].IsCode());

    EXPECT_TRUE(image.has_export_directory);
    EXPECT_EQ(image.export_dll_name, "TEST.dll");
    ASSERT_EQ(image.exports.size(), 2u);
    EXPECT_EQ(image.exports[0].ordinal, 5u);
    EXPECT_EQ(image.exports[0].rva, 0x2010u);
    EXPECT_EQ(image.exports[0].names, std::vector<std::string>{"Alpha"});
    EXPECT_FALSE(image.exports[0].forwarded);
    EXPECT_EQ(image.exports[1].ordinal, 7u);
    EXPECT_EQ(image.exports[1].rva, 0x2020u);
    EXPECT_EQ(image.exports[1].names, std::vector<std::string>{"Beta"});

    EXPECT_EQ(image.imported_dlls, (std::vector<std::string>{"KERNEL32.dll", "msvcrt.dll", "USER32.dll"}));
}

TEST(PeImageReader, AnOrdinalOnlySlotAndAForwarderAreReportedAsSuch) {
    Bytes bytes = SmallDll();
    PutInSection(bytes, kExportDirectory + 24, 1);             // only Alpha is named: slot 2 is unnamed
    PutInSection(bytes, kExportFunctions + 4, Rva(kDllName));  // slot 1 points into the directory
    const ParseOutcome outcome = ParsePeImage(bytes);
    ASSERT_TRUE(outcome.image.has_value()) << outcome.error;
    ASSERT_EQ(outcome.image->exports.size(), 3u);
    EXPECT_EQ(outcome.image->exports[1].ordinal, 6u);
    EXPECT_TRUE(outcome.image->exports[1].forwarded);
    EXPECT_TRUE(outcome.image->exports[1].names.empty());
    EXPECT_TRUE(outcome.image->exports[2].names.empty());
}

TEST(PeImageReader, AnImageWithoutExportOrImportDirectoriesHasEmptyTables) {
    Bytes bytes = SmallDll();
    Put32(bytes, kOptional + 92, 0);  // no data directories at all
    const ParseOutcome outcome = ParsePeImage(bytes);
    ASSERT_TRUE(outcome.image.has_value()) << outcome.error;
    EXPECT_FALSE(outcome.image->has_export_directory);
    EXPECT_TRUE(outcome.image->exports.empty());
    EXPECT_TRUE(outcome.image->imported_dlls.empty());
}

TEST(PeImageReader, EveryTruncationIsAnError) {
    const Bytes whole = SmallDll();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        // An exactly sized copy, so that a read past its end is a sanitizer finding.
        const Bytes truncated(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        const ParseOutcome outcome = ParsePeImage(truncated);
        EXPECT_FALSE(outcome.image.has_value()) << size << " bytes";
        EXPECT_NE(outcome.error, "") << size << " bytes";
    }
}

TEST(PeImageReader, EverySingleByteCorruptionGivesAnImageOrAnError) {
    const Bytes whole = SmallDll();
    for (std::size_t offset = 0; offset < whole.size(); ++offset) {
        for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
            Bytes corrupt = whole;
            corrupt[offset] = value;
            const ParseOutcome outcome = ParsePeImage(corrupt);
            EXPECT_NE(outcome.image.has_value(), !outcome.error.empty()) << "offset " << offset;
        }
    }
}

struct Corruption {
    const char* label;
    std::function<void(Bytes&)> apply;
    const char* error;  // a part of the message the reader must give
};

class CorruptImage : public ::testing::TestWithParam<Corruption> {};

TEST_P(CorruptImage, IsRejectedWithItsReason) {
    Bytes bytes = SmallDll();
    GetParam().apply(bytes);
    const ParseOutcome outcome = ParsePeImage(bytes);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_NE(outcome.error.find(GetParam().error), std::string::npos) << outcome.error;
}

const Corruption kCorruptions[] = {
    {"Empty", [](Bytes& b) { b.clear(); }, "shorter than a DOS header"},
    {"NoDosMagic", [](Bytes& b) { b[0] = 'X'; }, "does not start with the DOS magic"},
    {"NewHeaderPastTheEnd", [](Bytes& b) { Put32(b, 0x3C, 0x10000); },
     "the PE signature at file offset 0x10000 runs past the end of the file"},
    {"NewHeaderNearFourGiB", [](Bytes& b) { Put32(b, 0x3C, 0xFFFFFFFE); },
     "the PE signature at file offset 0xfffffffe runs past the end of the file"},
    {"NoPeSignature", [](Bytes& b) { b[kNewHeader] = 'X'; }, "no PE signature at file offset 0x40"},
    {"Pe32PlusHeader", [](Bytes& b) { Put16(b, kOptional, 0x20B); }, "not PE32 (magic 0x20b)"},
    {"OptionalHeaderShorterThanItsFixedPart", [](Bytes& b) { Put16(b, kCoff + 16, 0x40); },
     "shorter than the fixed part"},
    {"OptionalHeaderTooShortForItsDirectories", [](Bytes& b) { Put16(b, kCoff + 16, 0x80); },
     "too short for its 16 data directories"},
    {"SectionTablePastTheEnd", [](Bytes& b) { Put16(b, kCoff + 2, 20); },
     "the section table at file offset 0x138 runs past the end of the file"},
    {"SectionDataPastTheEnd", [](Bytes& b) { Put32(b, kSectionTable + 16, 0x1000); },
     "the file data of section .rdata at file offset 0x200 runs past the end of the file"},
    {"SectionDataNearFourGiB", [](Bytes& b) { Put32(b, kSectionTable + 20, 0xFFFFFF00); },
     "the file data of section .rdata at file offset 0xffffff00 runs past the end of the file"},
    {"ExportDirectoryOutsideEverySection", [](Bytes& b) { Put32(b, kDirectories, 0x5000); },
     "the export directory (RVA 0x5000) lies outside every section"},
    {"ExportDirectoryNearFourGiB", [](Bytes& b) { Put32(b, kDirectories, 0xFFFFFFF0); },
     "the export directory (RVA 0xfffffff0) lies outside every section"},
    {"ExportDirectoryRunningPastItsSection", [](Bytes& b) { Put32(b, kDirectories, Rva(0xF0)); },
     "the export directory (RVA 0x10f0, 40 bytes) runs past the end of section .rdata"},
    {"ExportSlotCountBeyondSixteenBits", [](Bytes& b) { PutInSection(b, kExportDirectory + 20, 0xFFFFFFFF); },
     "ordinals are 16-bit"},
    {"ExportAddressTableRunningPastItsSection",
     [](Bytes& b) { PutInSection(b, kExportDirectory + 20, 0x100); },
     "the export address table (RVA 0x1028, 1024 bytes) runs past the end of section .rdata"},
    {"ExportNameOutsideEverySection", [](Bytes& b) { PutInSection(b, kExportNames, 0x9000); },
     "export name 0 (RVA 0x9000) lies outside every section"},
    {"DllNameWithoutNul",
     [](Bytes& b) {
         PutInSection(b, kExportDirectory + 12, Rva(kSectionSize - 4));
         PutText(b, kSectionData + kSectionSize - 4, "xxxx");
     },
     "the export directory's DLL name (RVA 0x110c) has no terminating NUL within 4 bytes"},
    {"NameOrdinalPastTheAddressTable", [](Bytes& b) { Put16(b, kSectionData + kExportNameOrdinals + 2, 7); },
     "export name Beta refers to slot 7, which holds no function"},
    {"NameOfAnEmptySlot", [](Bytes& b) { Put16(b, kSectionData + kExportNameOrdinals + 2, 1); },
     "export name Beta refers to slot 1, which holds no function"},
    {"ImportNameOutsideEverySection", [](Bytes& b) { PutInSection(b, kImportDescriptors + 12, 0x7000); },
     "the DLL name of import descriptor 0 (RVA 0x7000) lies outside every section"},
    {"ImportDescriptorsWithoutTheirClosingEntry",
     [](Bytes& b) { Put32(b, kDirectories + 1 * 8, Rva(kSectionSize - 8)); },
     "import descriptor 0 (RVA 0x1108, 20 bytes) runs past the end of section .rdata"},
    {"DelayImportNameBelowTheImageBase", [](Bytes& b) { PutInSection(b, kDelayImportDescriptors, 0); },
     "the DLL name of delay-load import descriptor 0 lies below the image base"},
};

INSTANTIATE_TEST_SUITE_P(HandMade, CorruptImage, ::testing::ValuesIn(kCorruptions),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelpa::test::pe
