// Calls an entry rule through a pointer typed exactly as the rule is exported: stdcall, the 32-bit
// direction flag when the rule takes one, then its doubles by value. The parameter list is the
// export table's, so every call matches the contract the expert programs call the rule with.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "export_table.h"
#include "win32_api.h"

namespace kelpa::test {

// The export table's row for `name`, or null when it has none.
inline const ExpectedExport* FindExport(std::string_view name) {
    for (const ExpectedExport& row : kExpectedExports) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

template <std::size_t>
using DoubleParameter = double;

template <std::size_t... I>
int CallWithDirection(void* address, int direction, const double* values, std::index_sequence<I...>) {
    using Rule = int(WINAPI*)(int, DoubleParameter<I>...);
    return reinterpret_cast<Rule>(address)(direction, values[I]...);
}

template <std::size_t... I>
int CallWithDoublesOnly(void* address, const double* values, std::index_sequence<I...>) {
    using Rule = int(WINAPI*)(DoubleParameter<I>...);
    return reinterpret_cast<Rule>(address)(values[I]...);
}

// Calls the rule exported as `name` at `address`. `direction` is passed only to the rules that take
// one; `values` must hold exactly the rule's doubles. Answers what the rule answers, or -1 (with a
// test failure) when the arguments do not fit the rule's parameter list.
inline int CallRule(void* address, std::string_view name, int direction, const std::vector<double>& values) {
    const ExpectedExport* row = FindExport(name);
    if (row == nullptr || address == nullptr) {
        ADD_FAILURE() << "no export " << name;
        return -1;
    }
    const bool takes_direction = row->parameters.starts_with('i');
    const std::string_view doubles = row->parameters.substr(takes_direction ? 1 : 0);
    if (doubles.find_first_not_of('d') != std::string_view::npos || values.size() != doubles.size()) {
        ADD_FAILURE() << name << " takes " << row->parameters << ", the test passes " << values.size()
                      << " doubles";
        return -1;
    }
    const double* v = values.data();
    if (!takes_direction && values.size() == 5) {
        return CallWithDoublesOnly(address, v, std::make_index_sequence<5>{});
    }
    switch (takes_direction ? values.size() : 0) {
        case 7:
            return CallWithDirection(address, direction, v, std::make_index_sequence<7>{});
        case 8:
            return CallWithDirection(address, direction, v, std::make_index_sequence<8>{});
        case 9:
            return CallWithDirection(address, direction, v, std::make_index_sequence<9>{});
        case 15:
            return CallWithDirection(address, direction, v, std::make_index_sequence<15>{});
        default:
            ADD_FAILURE() << "no typed call for " << name << " (" << row->parameters << ")";
            return -1;
    }
}

}  // namespace kelpa::test
