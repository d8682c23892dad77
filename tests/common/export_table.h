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
    // PeltoGetDouble alone returns a double (in st(0) on 32-bit Windows); every other export an int.
    bool returns_double = false;
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
    {"KELPA_BASE", 1, "PeltoDeleteKey", "s"},
    {"KELPA_BASE", 2, "PeltoDeleteVar", "s"},
    {"KELPA_BASE", 3, "PeltoGetDouble", "s", true},
    {"KELPA_BASE", 4, "PeltoSetDouble", "sd"},
    {"KELPA_BASE", 5, "PeltoGetInteger", "s"},
    {"KELPA_BASE", 6, "PeltoSetInteger", "si"},
    {"KELPA_BASE", 7, "PeltoGetString", "ssi"},
    {"KELPA_BASE", 8, "PeltoSetString", "ss"},
    {"KELPA_LATTICE", 1, "PeltoDeleteKey", "s"},
    {"KELPA_LATTICE", 2, "PeltoDeleteVar", "s"},
    {"KELPA_LATTICE", 3, "PeltoGetDouble", "s", true},
    {"KELPA_LATTICE", 4, "PeltoSetDouble", "sd"},
    {"KELPA_LATTICE", 5, "PeltoGetInteger", "s"},
    {"KELPA_LATTICE", 6, "PeltoSetInteger", "si"},
    {"KELPA_LATTICE", 7, "PeltoGetString", "ssi"},
    {"KELPA_LATTICE", 8, "PeltoSetString", "ss"},
    {"KELPA_COURIER", 1, "PeltoDeleteKey", "s"},
    {"KELPA_COURIER", 2, "PeltoDeleteVar", "s"},
    {"KELPA_COURIER", 3, "PeltoGetDouble", "s", true},
    {"KELPA_COURIER", 4, "PeltoSetDouble", "sd"},
    {"KELPA_COURIER", 5, "PeltoGetInteger", "s"},
    {"KELPA_COURIER", 6, "PeltoSetInteger", "si"},
    {"KELPA_COURIER", 7, "PeltoGetString", "ssi"},
    {"KELPA_COURIER", 8, "PeltoSetString", "ss"},
    {"KELPA_RIPTIDE", 1, "PeltoDeleteKey", "s"},
    {"KELPA_RIPTIDE", 2, "PeltoDeleteVar", "s"},
    {"KELPA_RIPTIDE", 3, "PeltoGetDouble", "s", true},
    {"KELPA_RIPTIDE", 4, "PeltoSetDouble", "sd"},
    {"KELPA_RIPTIDE", 5, "PeltoGetInteger", "s"},
    {"KELPA_RIPTIDE", 6, "PeltoSetInteger", "si"},
    {"KELPA_RIPTIDE", 7, "PeltoGetString", "ssi"},
    {"KELPA_RIPTIDE", 8, "PeltoSetString", "ss"},
    {"KELPA_UNDERTOW", 1, "PeltoDeleteKey", "s"},
    {"KELPA_UNDERTOW", 2, "PeltoDeleteVar", "s"},
    {"KELPA_UNDERTOW", 3, "PeltoGetDouble", "s", true},
    {"KELPA_UNDERTOW", 4, "PeltoSetDouble", "sd"},
    {"KELPA_UNDERTOW", 5, "PeltoGetInteger", "s"},
    {"KELPA_UNDERTOW", 6, "PeltoSetInteger", "si"},
    {"KELPA_UNDERTOW", 7, "PeltoGetString", "ssi"},
    {"KELPA_UNDERTOW", 8, "PeltoSetString", "ss"},
    {"KELPA_LADDER2", 1, "PeltoDeleteKey", "s"},
    {"KELPA_LADDER2", 2, "PeltoDeleteVar", "s"},
    {"KELPA_LADDER2", 3, "PeltoGetDouble", "s", true},
    {"KELPA_LADDER2", 4, "PeltoSetDouble", "sd"},
    {"KELPA_LADDER2", 5, "PeltoGetInteger", "s"},
    {"KELPA_LADDER2", 6, "PeltoSetInteger", "si"},
    {"KELPA_LADDER2", 7, "PeltoGetString", "ssi"},
    {"KELPA_LADDER2", 8, "PeltoSetString", "ss"},
    {"KELPA_BASE", 9, "PeltoWebRequest", "sssi"},
    {"KELPA_LATTICE", 9, "PeltoWebRequest", "sssi"},
    {"KELPA_LATTICE", 10, "grabWeb", "ssi"},
    {"KELPA_COURIER", 9, "PeltoWebRequest", "sssi"},
    {"KELPA_COURIER", 10, "COURIER1", "sss"},
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
