// The PE32 reader. Offsets are carried as 64-bit values, so no sum of 32-bit fields from the file can
// wrap around and pass a bounds check it should fail.
#include "pe_image.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

namespace kelpa::test::pe {
namespace {

// The DOS header: its magic, its size, and where it keeps the offset of the PE headers (e_lfanew).
constexpr std::uint16_t kDosMagic = 0x5A4D;  // "MZ"
constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::uint64_t kDosNewHeaderField = 0x3C;

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint64_t kPeSignatureSize = 4;

// The COFF file header, and its fields.
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kCoffMachine = 0;
constexpr std::uint64_t kCoffSectionCount = 2;
constexpr std::uint64_t kCoffOptionalHeaderSize = 16;
constexpr std::uint64_t kCoffCharacteristics = 18;

// The PE32 optional header: its magic, the fields read, and the data directories after its fixed part.
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint64_t kOptionalImageBase = 28;
constexpr std::uint64_t kOptionalDirectoryCount = 92;
constexpr std::uint64_t kOptionalFixedSize = 96;
constexpr std::uint64_t kDataDirectorySize = 8;
constexpr std::uint32_t kMaxDataDirectories = 16;  // the loader reads no more than these

// One entry of the section table, and its fields.
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionNameSize = 8;
constexpr std::uint64_t kSectionVirtualSize = 8;
constexpr std::uint64_t kSectionVirtualAddress = 12;
constexpr std::uint64_t kSectionRawSize = 16;
constexpr std::uint64_t kSectionRawOffset = 20;
constexpr std::uint64_t kSectionCharacteristics = 36;

constexpr std::uint32_t kExportDirectoryIndex = 0;
constexpr std::uint32_t kImportDirectoryIndex = 1;
constexpr std::uint32_t kDelayImportDirectoryIndex = 13;

// The export directory, and its fields.
constexpr std::uint64_t kExportDirectorySize = 40;
constexpr std::uint64_t kExportName = 12;
constexpr std::uint64_t kExportOrdinalBase = 16;
constexpr std::uint64_t kExportFunctionCount = 20;
constexpr std::uint64_t kExportNameCount = 24;
constexpr std::uint64_t kExportFunctions = 28;
constexpr std::uint64_t kExportNames = 32;
constexpr std::uint64_t kExportNameOrdinals = 36;
// Ordinals are 16-bit: a sound export directory has no more slots or names than this.
constexpr std::uint64_t kOrdinalLimit = 65536;

// One import descriptor, and its fields; the list ends with an empty descriptor.
constexpr std::uint64_t kImportDescriptorSize = 20;
constexpr std::uint64_t kImportLookupTable = 0;
constexpr std::uint64_t kImportName = 12;
constexpr std::uint64_t kImportAddressTable = 16;

// One delay-load import descriptor, and its fields; the list ends with an empty descriptor.
constexpr std::uint64_t kDelayImportDescriptorSize = 32;
constexpr std::uint64_t kDelayImportAttributes = 0;
constexpr std::uint64_t kDelayImportName = 4;
constexpr std::uint32_t kDelayImportUsesRvas = 1;  // attribute bit: the name is an RVA, not an address

// No name that a DLL exports or imports comes near this; a longer run without a NUL is corruption.
constexpr std::uint64_t kMaxNameLength = 4096;

std::string Hex(std::uint64_t value) {
    char text[2 + 16] = {'0', 'x'};
    const auto end = std::to_chars(text + 2, text + sizeof(text), value, 16).ptr;
    return std::string(text, end);
}

// The bytes of the section that come from the file: the loader fills the rest with zeros.
std::uint64_t FileBackedSize(const Section& section) {
    return section.virtual_size == 0 ? section.raw_size : std::min(section.virtual_size, section.raw_size);
}

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> file) : file_(file) {}

    ParseOutcome Run() {
        ParseOutcome outcome;
        if (ReadHeaders() && ReadSectionTable() && ReadExports() && ReadImports() && ReadDelayImports()) {
            outcome.image = std::move(image_);
        } else {
            outcome.error = std::move(error_);
        }
        return outcome;
    }

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool CheckFileRange(std::uint64_t offset, std::uint64_t size, std::string_view what) {
        if (offset > file_.size() || size > file_.size() - offset) {
            return Fail(std::string(what) + " at file offset " + Hex(offset) +
                        " runs past the end of the file (" + std::to_string(file_.size()) + " bytes)");
        }
        return true;
    }

    bool Read16(std::uint64_t offset, std::uint16_t& value, std::string_view what) {
        if (!CheckFileRange(offset, 2, what)) {
            return false;
        }
        value = static_cast<std::uint16_t>(file_[offset] | file_[offset + 1] << 8);
        return true;
    }

    bool Read32(std::uint64_t offset, std::uint32_t& value, std::string_view what) {
        if (!CheckFileRange(offset, 4, what)) {
            return false;
        }
        value = static_cast<std::uint32_t>(file_[offset]) |
                static_cast<std::uint32_t>(file_[offset + 1]) << 8 |
                static_cast<std::uint32_t>(file_[offset + 2]) << 16 |
                static_cast<std::uint32_t>(file_[offset + 3]) << 24;
        return true;
    }

    // The file offset of `size` bytes at `rva`, all of them inside one section's file-backed bytes;
    // `available` is how many bytes that section holds from `rva` on.
    bool MapRva(std::uint64_t rva, std::uint64_t size, std::string_view what, std::uint64_t& offset,
                std::uint64_t* available = nullptr) {
        for (const Section& section : image_.sections) {
            const std::uint64_t backed = FileBackedSize(section);
            if (rva < section.virtual_address || rva - section.virtual_address >= backed) {
                continue;
            }
            const std::uint64_t into = rva - section.virtual_address;
            if (size > backed - into) {
                return Fail(std::string(what) + " (RVA " + Hex(rva) + ", " + std::to_string(size) +
                            " bytes) runs past the end of section " + section.name);
            }
            offset = section.raw_offset + into;
            if (available != nullptr) {
                *available = backed - into;
            }
            return true;
        }
        return Fail(std::string(what) + " (RVA " + Hex(rva) + ") lies outside every section's file data");
    }

    bool ReadName(std::uint64_t rva, std::string_view what, std::string& name) {
        std::uint64_t offset = 0;
        std::uint64_t available = 0;
        if (!MapRva(rva, 1, what, offset, &available)) {
            return false;
        }
        const auto first = file_.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto last = first + static_cast<std::ptrdiff_t>(std::min(available, kMaxNameLength));
        const auto nul = std::find(first, last, std::uint8_t{0});
        if (nul == last) {
            return Fail(std::string(what) + " (RVA " + Hex(rva) + ") has no terminating NUL within " +
                        std::to_string(last - first) + " bytes");
        }
        name.assign(first, nul);
        return true;
    }

    bool ReadHeaders() {
        if (file_.size() < kDosHeaderSize) {
            return Fail("the file (" + std::to_string(file_.size()) + " bytes) is shorter than a DOS header");
        }
        std::uint16_t dos_magic = 0;
        std::uint32_t pe_offset = 0;
        if (!Read16(0, dos_magic, "the DOS magic") || !Read32(kDosNewHeaderField, pe_offset, "e_lfanew")) {
            return false;
        }
        if (dos_magic != kDosMagic) {
            return Fail("the file does not start with the DOS magic \"MZ\"");
        }
        std::uint32_t signature = 0;
        if (!Read32(pe_offset, signature, "the PE signature")) {
            return false;
        }
        if (signature != kPeSignature) {
            return Fail("no PE signature at file offset " + Hex(pe_offset));
        }
        const std::uint64_t coff = std::uint64_t{pe_offset} + kPeSignatureSize;
        std::uint16_t optional_size = 0;
        if (!Read16(coff + kCoffMachine, image_.machine, "the COFF machine") ||
            !Read16(coff + kCoffSectionCount, section_count_, "the COFF section count") ||
            !Read16(coff + kCoffOptionalHeaderSize, optional_size, "the COFF optional header size") ||
            !Read16(coff + kCoffCharacteristics, image_.characteristics, "the COFF characteristics")) {
            return false;
        }
        const std::uint64_t optional = coff + kCoffHeaderSize;
        std::uint16_t magic = 0;
        if (!Read16(optional, magic, "the optional header magic")) {
            return false;
        }
        if (magic != kPe32Magic) {
            return Fail("the optional header is not PE32 (magic " + Hex(magic) + ")");
        }
        if (optional_size < kOptionalFixedSize) {
            return Fail("the optional header (" + std::to_string(optional_size) +
                        " bytes) is shorter than the fixed part of a PE32 one");
        }
        std::uint32_t directory_count = 0;
        if (!Read32(optional + kOptionalImageBase, image_.image_base, "the image base") ||
            !Read32(optional + kOptionalDirectoryCount, directory_count, "the data directory count")) {
            return false;
        }
        // Directories past the count stay empty.
        directory_count_ = std::min(directory_count, kMaxDataDirectories);
        if (kOptionalFixedSize + directory_count_ * kDataDirectorySize > optional_size) {
            return Fail("the optional header (" + std::to_string(optional_size) +
                        " bytes) is too short for its " + std::to_string(directory_count_) +
                        " data directories");
        }
        for (std::uint32_t index = 0; index < directory_count_; ++index) {
            const std::uint64_t entry = optional + kOptionalFixedSize + index * kDataDirectorySize;
            if (!Read32(entry, directories_[index].rva, "a data directory") ||
                !Read32(entry + 4, directories_[index].size, "a data directory")) {
                return false;
            }
        }
        section_table_ = optional + optional_size;
        return true;
    }

    bool ReadSectionTable() {
        if (!CheckFileRange(section_table_, section_count_ * kSectionHeaderSize, "the section table")) {
            return false;
        }
        for (std::uint16_t index = 0; index < section_count_; ++index) {
            const std::uint64_t entry = section_table_ + index * kSectionHeaderSize;
            Section section;
            const auto name = file_.subspan(entry, kSectionNameSize);
            section.name.assign(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
            if (!Read32(entry + kSectionVirtualSize, section.virtual_size, "a section header") ||
                !Read32(entry + kSectionVirtualAddress, section.virtual_address, "a section header") ||
                !Read32(entry + kSectionRawSize, section.raw_size, "a section header") ||
                !Read32(entry + kSectionRawOffset, section.raw_offset, "a section header") ||
                !Read32(entry + kSectionCharacteristics, section.characteristics, "a section header")) {
                return false;
            }
            if (section.raw_size != 0 && !CheckFileRange(section.raw_offset, section.raw_size,
                                                         "the file data of section " + section.name)) {
                return false;
            }
            image_.sections.push_back(std::move(section));
        }
        return true;
    }

    bool ReadExports() {
        const DataDirectory directory = directories_[kExportDirectoryIndex];
        if (directory.rva == 0) {
            return true;
        }
        image_.has_export_directory = true;
        std::uint64_t header = 0;
        std::uint32_t name_rva = 0, base = 0, function_count = 0, name_count = 0;
        std::uint32_t functions_rva = 0, names_rva = 0, name_ordinals_rva = 0;
        if (!MapRva(directory.rva, kExportDirectorySize, "the export directory", header) ||
            !Read32(header + kExportName, name_rva, "the export directory") ||
            !Read32(header + kExportOrdinalBase, base, "the export directory") ||
            !Read32(header + kExportFunctionCount, function_count, "the export directory") ||
            !Read32(header + kExportNameCount, name_count, "the export directory") ||
            !Read32(header + kExportFunctions, functions_rva, "the export directory") ||
            !Read32(header + kExportNames, names_rva, "the export directory") ||
            !Read32(header + kExportNameOrdinals, name_ordinals_rva, "the export directory")) {
            return false;
        }
        if (std::uint64_t{base} + function_count > kOrdinalLimit || name_count > kOrdinalLimit) {
            return Fail("the export directory claims " + std::to_string(function_count) +
                        " slots from ordinal " + std::to_string(base) + " and " + std::to_string(name_count) +
                        " names; ordinals are 16-bit");
        }
        if (!ReadName(name_rva, "the export directory's DLL name", image_.export_dll_name)) {
            return false;
        }
        std::uint64_t functions = 0, names = 0, name_ordinals = 0;
        if ((function_count != 0 && !MapRva(functions_rva, 4 * std::uint64_t{function_count},
                                            "the export address table", functions)) ||
            (name_count != 0 &&
             (!MapRva(names_rva, 4 * std::uint64_t{name_count}, "the export name table", names) ||
              !MapRva(name_ordinals_rva, 2 * std::uint64_t{name_count}, "the export name ordinal table",
                      name_ordinals)))) {
            return false;
        }
        std::vector<ExportedFunction> slots(function_count);
        for (std::uint32_t slot = 0; slot < function_count; ++slot) {
            if (!Read32(functions + 4 * std::uint64_t{slot}, slots[slot].rva, "the export address table")) {
                return false;
            }
        }
        for (std::uint32_t index = 0; index < name_count; ++index) {
            std::uint16_t slot = 0;
            std::uint32_t export_name_rva = 0;
            std::string name;
            if (!Read16(name_ordinals + 2 * std::uint64_t{index}, slot, "the export name ordinal table") ||
                !Read32(names + 4 * std::uint64_t{index}, export_name_rva, "the export name table") ||
                !ReadName(export_name_rva, "export name " + std::to_string(index), name)) {
                return false;
            }
            if (slot >= function_count || slots[slot].rva == 0) {
                return Fail("export name " + name + " refers to slot " + std::to_string(slot) +
                            ", which holds no function of the " + std::to_string(function_count) +
                            " in the export address table");
            }
            slots[slot].names.push_back(std::move(name));
        }
        for (std::uint32_t slot = 0; slot < function_count; ++slot) {
            ExportedFunction& function = slots[slot];
            if (function.rva == 0) {
                continue;
            }
            function.ordinal = base + slot;
            function.forwarded =
                function.rva >= directory.rva && function.rva - directory.rva < std::uint64_t{directory.size};
            image_.exports.push_back(std::move(function));
        }
        return true;
    }

    bool ReadImports() {
        const DataDirectory directory = directories_[kImportDirectoryIndex];
        if (directory.rva == 0) {
            return true;
        }
        // Each pass reads 20 more bytes of one section's file data, so the walk ends within the file.
        for (std::uint64_t index = 0;; ++index) {
            const std::string what = "import descriptor " + std::to_string(index);
            std::uint64_t entry = 0;
            std::uint32_t lookup_table = 0, name_rva = 0, address_table = 0;
            if (!MapRva(directory.rva + index * kImportDescriptorSize, kImportDescriptorSize, what, entry) ||
                !Read32(entry + kImportLookupTable, lookup_table, what) ||
                !Read32(entry + kImportName, name_rva, what) ||
                !Read32(entry + kImportAddressTable, address_table, what)) {
                return false;
            }
            if (lookup_table == 0 && name_rva == 0 && address_table == 0) {
                return true;
            }
            std::string name;
            if (!ReadName(name_rva, "the DLL name of " + what, name)) {
                return false;
            }
            image_.imported_dlls.push_back(std::move(name));
        }
    }

    bool ReadDelayImports() {
        const DataDirectory directory = directories_[kDelayImportDirectoryIndex];
        if (directory.rva == 0) {
            return true;
        }
        for (std::uint64_t index = 0;; ++index) {
            const std::string what = "delay-load import descriptor " + std::to_string(index);
            std::uint64_t entry = 0;
            std::uint32_t attributes = 0, name = 0;
            if (!MapRva(directory.rva + index * kDelayImportDescriptorSize, kDelayImportDescriptorSize, what,
                        entry) ||
                !Read32(entry + kDelayImportAttributes, attributes, what) ||
                !Read32(entry + kDelayImportName, name, what)) {
                return false;
            }
            if (name == 0) {
                return true;
            }
            // The oldest form of the descriptor holds addresses in the loaded image, not RVAs.
            std::uint64_t name_rva = name;
            if ((attributes & kDelayImportUsesRvas) == 0) {
                if (name < image_.image_base) {
                    return Fail("the DLL name of " + what + " lies below the image base");
                }
                name_rva = name - image_.image_base;
            }
            std::string dll;
            if (!ReadName(name_rva, "the DLL name of " + what, dll)) {
                return false;
            }
            image_.imported_dlls.push_back(std::move(dll));
        }
    }

    std::span<const std::uint8_t> file_;
    PeImage image_;
    std::uint16_t section_count_ = 0;
    std::uint64_t section_table_ = 0;
    std::uint32_t directory_count_ = 0;
    DataDirectory directories_[kMaxDataDirectories] = {};
    std::string error_;
};

}  // namespace

std::uint64_t Section::EndRva() const {
    return std::uint64_t{virtual_address} + (virtual_size != 0 ? virtual_size : raw_size);
}

const Section* PeImage::SectionOfRva(std::uint32_t rva) const {
    const auto found =
        std::find_if(sections.begin(), sections.end(), [rva](const Section& s) { return s.Contains(rva); });
    return found == sections.end() ? nullptr : &*found;
}

ParseOutcome ParsePeImage(std::span<const std::uint8_t> file) { return Parser(file).Run(); }

}  // namespace kelpa::test::pe
