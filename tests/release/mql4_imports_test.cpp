// The MQL4 include files against the export table: each header's #import block must declare every
// export of its DLL, and nothing else, with the parameter kinds and the result type the DLL has. A
// text parameter must be a uchar array (the terminal passes a string as UTF-16 otherwise).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "export_table.h"

namespace {

using kelpa::test::kDeliverables;
using kelpa::test::kExpectedExports;

struct Declaration {
    std::string result;
    std::string parameters;  // one kind letter per parameter, or '?' for one that is none of them
    int count = 0;
};

struct ImportBlock {
    std::string library;  // the DLL named by #import
    std::map<std::string, Declaration> functions;
    std::string problems;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

char KindOf(const std::string& parameter) {
    static const std::regex text_array(R"(^\s*(const\s+)?uchar\s*&\s*\w+\s*\[\s*\]\s*$)");
    static const std::regex integer(R"(^\s*int\s+\w+\s*$)");
    static const std::regex number(R"(^\s*double\s+\w+\s*$)");
    if (std::regex_match(parameter, text_array))
        return 's';
    if (std::regex_match(parameter, integer))
        return 'i';
    if (std::regex_match(parameter, number))
        return 'd';
    return '?';
}

// The first #import "..." block of an include file: its declarations, joined over line breaks.
ImportBlock ParseImports(const std::string& text) {
    ImportBlock block;
    const std::regex opening(R"re(#import\s+"([^"]+)")re");
    std::smatch open;
    if (!std::regex_search(text, open, opening)) {
        block.problems = "no #import block";
        return block;
    }
    block.library = open[1];
    const auto body_start = open.position(0) + open.length(0);
    const auto body_end = text.find("#import", body_start);
    if (body_end == std::string::npos) {
        block.problems = "the #import block is not closed";
        return block;
    }
    std::string body = text.substr(body_start, body_end - body_start);
    body = std::regex_replace(body, std::regex(R"(//[^\n]*)"), "");
    const std::regex declaration(R"(^\s*(\w+)\s+(\w+)\s*\(([^)]*)\)\s*$)");
    std::stringstream statements(body);
    std::string statement;
    while (std::getline(statements, statement, ';')) {
        if (statement.find_first_not_of(" \t\r\n") == std::string::npos) {
            continue;
        }
        std::smatch parts;
        if (!std::regex_match(statement, parts, declaration)) {
            block.problems += "cannot read: " + statement + "\n";
            continue;
        }
        Declaration& entry = block.functions[parts[2]];
        entry.result = parts[1];
        ++entry.count;
        std::stringstream parameters(parts[3].str());
        std::string parameter;
        while (std::getline(parameters, parameter, ',')) {
            entry.parameters += KindOf(parameter);
        }
    }
    return block;
}

class Mql4Imports : public ::testing::TestWithParam<std::string_view> {};

TEST_P(Mql4Imports, DeclareEveryExportOfTheDllAsTheExportTableHasIt) {
    const std::string deliverable(GetParam());
    const std::string path = std::string(KELPA_MQL4_INCLUDE_DIR) + "/" + deliverable + ".mqh";
    const std::string text = ReadFile(path);
    ASSERT_FALSE(text.empty()) << path << " is missing or empty";

    const ImportBlock block = ParseImports(text);
    EXPECT_EQ(block.problems, "");
    EXPECT_EQ(block.library, deliverable + ".dll");

    int expected_count = 0;
    for (const auto& row : kExpectedExports) {
        if (row.deliverable != deliverable) {
            continue;
        }
        ++expected_count;
        const std::string name(row.name);
        const auto found = block.functions.find(name);
        if (found == block.functions.end()) {
            ADD_FAILURE() << path << " does not declare " << name;
            continue;
        }
        EXPECT_EQ(found->second.count, 1) << name << " declared more than once";
        EXPECT_EQ(found->second.parameters, row.parameters) << name;
        EXPECT_EQ(found->second.result, row.returns_double ? "double" : "int") << name;
    }
    for (const auto& [name, declaration] : block.functions) {
        bool exported = false;
        for (const auto& row : kExpectedExports) {
            exported = exported || (row.deliverable == deliverable && row.name == name);
        }
        EXPECT_TRUE(exported) << path << " declares " << name << ", which " << deliverable
                              << ".dll does not export";
    }
    EXPECT_EQ(static_cast<int>(block.functions.size()), expected_count);
}

INSTANTIATE_TEST_SUITE_P(EveryDeliverable, Mql4Imports, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param); });

// The parser itself: a declaration it would misread must not pass as a match.
TEST(Mql4ImportParser, ReadsKindsAndRefusesAStringParameter) {
    const ImportBlock block = ParseImports(
        "#import \"X.dll\"\n"
        "int    A(const uchar &path[], uchar &buffer[],\r\n      int length); // note\n"
        "double B(uchar &path[]);\n"
        "int    C(string path, double value);\n"
        "#import\n");
    EXPECT_EQ(block.library, "X.dll");
    EXPECT_EQ(block.problems, "");
    ASSERT_EQ(block.functions.size(), 3u);
    EXPECT_EQ(block.functions.at("A").parameters, "ssi");
    EXPECT_EQ(block.functions.at("B").result, "double");
    EXPECT_EQ(block.functions.at("C").parameters, "?d");
}

}  // namespace
