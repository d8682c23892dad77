// What kelpa-call makes of its command line: which export, and the values to pass it. Pure: no
// library is loaded here, so a command line that does not fit an export is refused before any call.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export_table.h"

namespace kelpa::call {

// Room kelpa-call gives the caller buffers of the exports that are not told a length.
// A web body is at most 65,535 bytes and its NUL.
constexpr int kBodyBufferSize = 65536;
// The longest currency display text has 7 bytes with its NUL; 16 leaves room to spare.
constexpr int kDisplayBufferSize = 16;
// PeltoGetString reads at most 259 characters and the NUL: the default length of its buffer.
constexpr int kDefaultTextBufferSize = 260;
// The largest buffer a user may ask PeltoGetString to be given: the registry's own limit on a
// value's data is far above what the export can read, so a megabyte is plenty.
constexpr int kMaxTextBufferSize = 1 << 20;

// One export as the command line addresses it: its parameter kinds, as in export_table.h, and which
// of them (if any) is a caller buffer that the tool supplies itself.
struct ExportShape {
    std::string_view name;
    std::string_view parameters;
    bool returns_double = false;
    int buffer_index = -1;  // the string parameter that is a caller buffer, or -1
    int buffer_size = 0;    // its size, when the export is not told one
};

// The shape of `name`, taken from the export table (a name has the same parameters in every
// deliverable that exports it); nothing when no deliverable exports it.
std::optional<ExportShape> FindExport(std::string_view name);

// The values for one call, in parameter order. Strings are held as copies: the variable exports
// cut a path at its separator, and the tool's own arguments stay as given.
struct CallArguments {
    std::vector<std::string> strings;  // one per 's', the caller buffer included (sized)
    std::vector<int> ints;             // one per 'i'
    std::vector<double> doubles;       // one per 'd'
};

struct ParseResult {
    bool ok = false;
    std::string error;  // when not ok: what does not fit
    CallArguments arguments;
};

// Matches the command-line arguments given after the export's name against its parameters.
// Strings are taken as they are; ints as decimal 32-bit numbers; doubles as decimal or
// scientific numbers, "inf", "-inf" or "nan". PeltoGetString takes the path and, optionally, the
// length of its buffer (default 260, passed as buffer_len).
ParseResult ParseArguments(const ExportShape& shape, const std::vector<std::string_view>& given);

// "<path> <int>" and so on: what the export takes on the command line.
std::string UsageOf(const ExportShape& shape);

// The text of a caller buffer as kelpa-call prints it: printable ASCII as it is, every other byte
// (line ends, the signs above 0x7F) as \xHH, so that each result is one line.
std::string PrintableText(std::string_view text);

// The lines of a batch file, line ends (LF or CR LF) taken off, and the tab-separated words of one
// line; an empty line has no words.
std::vector<std::string_view> SplitLines(std::string_view text);
std::vector<std::string_view> SplitWords(std::string_view line);

// The result of PeltoGetDouble as printed: the shortest text that reads back as the same double.
std::string DoubleText(double value);

}  // namespace kelpa::call
