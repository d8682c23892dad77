// A small reader of 32-bit Windows image files (PE32): the headers, the section table, the export
// directory and the DLLs named by the import and delay-load import directories. It is pure: it is
// given the file's bytes and reads nothing else. Every read is bounds-checked, so a truncated or
// corrupt file yields an error message, never a read outside the bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelpa::test::pe {

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kCharacteristicDll = 0x2000;
inline constexpr std::uint32_t kSectionContainsCode = 0x00000020;
inline constexpr std::uint32_t kSectionExecutable = 0x20000000;

struct Section {
    std::string name;
    std::uint32_t virtual_address = 0;
    std::uint32_t virtual_size = 0;
    std::uint32_t raw_offset = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t characteristics = 0;

    bool IsCode() const { return (characteristics & (kSectionContainsCode | kSectionExecutable)) != 0; }
    // The RVA just past the section as it is mapped.
    std::uint64_t EndRva() const;
    bool Contains(std::uint32_t rva) const { return rva >= virtual_address && rva < EndRva(); }
};

// One used slot of the export address table.
struct ExportedFunction {
    std::uint32_t ordinal = 0;  // the ordinal a caller asks for: the directory's base plus the slot
    std::uint32_t rva = 0;
    std::vector<std::string> names;  // empty when the slot is exported by ordinal alone
    bool forwarded = false;          // the RVA points into the export directory: a forwarder string
};

struct PeImage {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint32_t image_base = 0;
    std::vector<Section> sections;

    bool has_export_directory = false;
    std::string export_dll_name;
    std::vector<ExportedFunction> exports;  // by ordinal, used slots only

    std::vector<std::string> imported_dlls;  // the import directory's, then the delay-load ones

    const Section* SectionOfRva(std::uint32_t rva) const;
};

// Exactly one of the two is set.
struct ParseOutcome {
    std::optional<PeImage> image;
    std::string error;
};

ParseOutcome ParsePeImage(std::span<const std::uint8_t> file);

}  // namespace kelpa::test::pe
