// Command-line matching for kelpa-call: from text arguments to typed values, and back to text.
#include "call_arguments.h"

#include <charconv>
#include <cstdio>

namespace kelpa::call {
namespace {

// The exports whose caller buffer the tool supplies, and its size.
struct CallerBuffer {
    std::string_view name;
    int index;
    int size;
};

constexpr CallerBuffer kCallerBuffers[] = {
    {"PeltoGetString", 1, kDefaultTextBufferSize},
    {"PeltoWebRequest", 0, kBodyBufferSize},
    {"grabWeb", 0, kBodyBufferSize},
    {"COURIER1", 0, kBodyBufferSize},
    {"LATTICE1", 1, kDisplayBufferSize},
};

bool IsTextBufferLengthGiven(const ExportShape& shape) { return shape.name == "PeltoGetString"; }

template <typename Number>
bool ParseWhole(std::string_view text, Number& value) {
    if (text.empty()) {
        return false;
    }
    // from_chars takes no leading "+": a user may write one.
    if (text.front() == '+' && text.size() > 1 && text[1] != '-') {
        text.remove_prefix(1);
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string_view KindWord(char kind) {
    switch (kind) {
        case 's':
            return "<text>";
        case 'i':
            return "<int>";
        default:
            return "<number>";
    }
}

}  // namespace

std::optional<ExportShape> FindExport(std::string_view name) {
    for (const auto& row : kelpa::test::kExpectedExports) {
        if (row.name != name) {
            continue;
        }
        ExportShape shape{row.name, row.parameters, row.returns_double};
        for (const auto& buffer : kCallerBuffers) {
            if (buffer.name == name) {
                shape.buffer_index = buffer.index;
                shape.buffer_size = buffer.size;
            }
        }
        return shape;
    }
    return std::nullopt;
}

std::string UsageOf(const ExportShape& shape) {
    std::string usage;
    for (int index = 0; index < static_cast<int>(shape.parameters.size()); ++index) {
        if (index == shape.buffer_index) {
            continue;  // supplied by the tool
        }
        if (IsTextBufferLengthGiven(shape) && index == shape.buffer_index + 1) {
            usage += " [<buffer length>]";
            continue;
        }
        usage += ' ';
        usage += KindWord(shape.parameters[index]);
    }
    return usage;
}

ParseResult ParseArguments(const ExportShape& shape, const std::vector<std::string_view>& given) {
    ParseResult result;
    const int count = static_cast<int>(shape.parameters.size());
    const bool optional_length = IsTextBufferLengthGiven(shape);
    const int wanted = count - (shape.buffer_index >= 0 ? 1 : 0);
    const int given_count = static_cast<int>(given.size());
    if (given_count != wanted && !(optional_length && given_count == wanted - 1)) {
        result.error = std::string(shape.name) + " takes " + std::to_string(wanted) + " argument" +
                       (wanted == 1 ? "" : "s") + (optional_length ? " (the last optional)" : "") + ", " +
                       std::to_string(given_count) + " given";
        return result;
    }

    CallArguments& arguments = result.arguments;
    int buffer_size = shape.buffer_size;
    int next = 0;
    for (int index = 0; index < count; ++index) {
        const char kind = shape.parameters[index];
        if (index == shape.buffer_index) {
            arguments.strings.emplace_back();  // sized below, once its length is known
            continue;
        }
        if (optional_length && index == shape.buffer_index + 1) {
            int length = kDefaultTextBufferSize;
            if (next < given_count) {
                if (!ParseWhole(given[next], length) || length > kMaxTextBufferSize) {
                    result.error = "buffer length \"" + std::string(given[next]) +
                                   "\" is not a whole number up to " + std::to_string(kMaxTextBufferSize);
                    return result;
                }
                ++next;
            }
            // The length is passed as given, zero and negative values included; the buffer the
            // tool holds always has at least one byte.
            arguments.ints.push_back(length);
            buffer_size = length > 0 ? length : 1;
            continue;
        }
        const std::string_view text = given[next++];
        if (kind == 's') {
            arguments.strings.emplace_back(text);
        } else if (kind == 'i') {
            int value = 0;
            if (!ParseWhole(text, value)) {
                result.error = "argument " + std::to_string(next) + " \"" + std::string(text) +
                               "\" is not a 32-bit whole number";
                return result;
            }
            arguments.ints.push_back(value);
        } else {
            double value = 0.0;
            if (!ParseWhole(text, value)) {
                result.error =
                    "argument " + std::to_string(next) + " \"" + std::string(text) + "\" is not a number";
                return result;
            }
            arguments.doubles.push_back(value);
        }
    }
    if (shape.buffer_index >= 0) {
        // The buffer is the string at the buffer's position among the string parameters.
        int string_index = 0;
        for (int index = 0; index < shape.buffer_index; ++index) {
            string_index += shape.parameters[index] == 's' ? 1 : 0;
        }
        arguments.strings[string_index].assign(static_cast<std::size_t>(buffer_size), '\0');
    }
    result.ok = true;
    return result;
}

std::string PrintableText(std::string_view text) {
    std::string printable;
    for (unsigned char byte : text) {
        if (byte >= 0x20 && byte < 0x7F) {
            printable += static_cast<char>(byte);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        }
    }
    return printable;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    if (line.empty()) {
        return words;
    }
    for (;;) {
        const std::size_t end = line.find('\t');
        words.push_back(line.substr(0, end));
        if (end == std::string_view::npos) {
            return words;
        }
        line.remove_prefix(end + 1);
    }
}

std::string DoubleText(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

}  // namespace kelpa::call
