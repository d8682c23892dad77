// The export table every deliverable must have: name, ordinal and parameter list of each export.
// The acceptance suites resolve every row by name and by ordinal; the binary check compares the
// built DLLs against it, stdcall argument sizes included.
#pragma once

#include <string_view>

namespace kelpa::test {

// Parameter kinds, one letter each, in call order: 's' a string pointer, 'i' a 32-bit int,
// 'd' a double passed by value.
struct ExpectedExport {
    std::string_view deliverable;
    int ordinal;
    std::string_view name;
    std::string_view parameters;
};

// Bytes a stdcall export removes from the stack for its parameter list on 32-bit Windows.
constexpr int StdcallArgumentBytes(std::string_view parameters) {
    int bytes = 0;
    for (char kind : parameters) {
        bytes += kind == 'd' ? 8 : 4;
    }
    return bytes;
}

static_assert(StdcallArgumentBytes("iddddddd") == 60);

inline constexpr std::string_view kDeliverables[] = {
    "KELPA_BASE", "KELPA_LATTICE", "KELPA_COURIER", "KELPA_RIPTIDE", "KELPA_UNDERTOW", "KELPA_LADDER2",
};

inline constexpr ExpectedExport kExpectedExports[] = {
    {"KELPA_LATTICE", 11, "LATTICE1", "ss"},
    {"KELPA_LATTICE", 12, "LATTICE2", "ddddd"},
    {"KELPA_LATTICE", 13, "LATTICE3", "ddddd"},
    {"KELPA_RIPTIDE", 9, "RIPTIDE1", "iddddddd"},
    {"KELPA_RIPTIDE", 10, "RIPTIDE2", "iddddddddd"},
    {"KELPA_RIPTIDE", 11, "RIPTIDE3", "idddddddd"},
    {"KELPA_RIPTIDE", 12, "RIPTIDE4", "iddddddddd"},
    {"KELPA_UNDERTOW", 9, "UNDERTOW1", "iddddddd"},
    {"KELPA_UNDERTOW", 10, "UNDERTOW2", "iddddddddd"},
    {"KELPA_UNDERTOW", 11, "UNDERTOW3", "idddddddd"},
    {"KELPA_UNDERTOW", 12, "UNDERTOW4", "iddddddddd"},
    {"KELPA_LADDER2", 9, "LADDER1", "iddddddddddddddd"},
};

static_assert(StdcallArgumentBytes("iddddddddddddddd") == 124);
static_assert(StdcallArgumentBytes("ddddd") == 40);

}  // namespace kelpa::test
