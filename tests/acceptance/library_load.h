// Load on one library: every thread calls every export of the library, again and again, on
// variables of its own, and checks that each value it wrote reads back exactly as written.
//
// The web exports are called in forms that open no connection (a method code without a request,
// a member folder too long for its address), so that they take their locks without a server, and
// never reach the connection message box, which under Wine would wait for a user. The entry rules
// must answer under load what they answer alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export_table.h"
#include "loaded_library.h"
#include "rule_call.h"
#include "store_exports.h"
#include "web_calls.h"

namespace kelpa::test {

// The number of calls of each kind one thread made: what its lock journal must show.
struct LoadTally {
    int store_lock_calls = 0;       // the set and get exports, and the web request in every form
    int delete_calls = 0;           // the two deletes: locked in some deliverables only
    int operations_lock_calls = 0;  // the product exports that hold the operations lock
};

class LibraryLoad {
public:
    explicit LibraryLoad(const LoadedLibrary& library) : library_(library), store_(library) {
        for (const ExpectedExport& row : kExpectedExports) {
            if (row.deliverable == library.Deliverable() && row.ordinal > 8) {
                products_.push_back(&row);
            }
        }
    }

    bool Ready() const { return library_.IsLoaded() && store_.AllResolved(); }

    // What each rule answers on the load's arguments, taken on one thread before the load starts.
    void LearnRuleAnswers() {
        rule_answers_.clear();
        for (const ExpectedExport* row : products_) {
            rule_answers_.push_back(IsRule(*row) ? CallProduct(*row) : 0);
        }
    }

    // One thread's share: `iterations` rounds of every export. Each mismatch is described in
    // `errors`; nothing here is shared with the other threads but the library itself.
    LoadTally RunThread(int thread, int iterations, std::vector<std::string>& errors) const {
        LoadTally tally;
        const std::string key = "load\\t" + std::to_string(thread);
        const auto expect = [&](bool holds, int iteration, const std::string& what) {
            if (!holds) {
                errors.push_back("thread " + std::to_string(thread) + ", round " + std::to_string(iteration) +
                                 ": " + what);
            }
        };
        for (int round = 0; round < iterations; ++round) {
            const int number = thread * 100000 + round;
            const double real = number + 0.25;
            const std::string text = "thread " + std::to_string(thread) + " wrote " + std::to_string(round);

            expect(store_.SetInteger(key + "\\number", number) == 0, round, "PeltoSetInteger failed");
            expect(store_.SetDouble(key + "\\real", real) == 0, round, "PeltoSetDouble failed");
            expect(store_.SetString(key + "\\text", text) == 0, round, "PeltoSetString failed");
            expect(store_.GetInteger(key + "\\number") == number, round, "the integer read back differs");
            expect(store_.GetDouble(key + "\\real") == real, round, "the double read back differs");
            expect(store_.GetString(key + "\\text") == text, round, "the text read back differs");
            tally.store_lock_calls += 6;

            expect(store_.DeleteVar(key + "\\text") == 0, round, "PeltoDeleteVar failed");
            expect(store_.GetString(key + "\\text").empty(), round, "a deleted text reads back");
            expect(store_.GetInteger(key + "\\number") == number, round, "a delete took another variable");
            tally.delete_calls += 1;
            tally.store_lock_calls += 2;
            if (round % 4 == 3) {
                expect(store_.DeleteKey(key) == 0, round, "PeltoDeleteKey failed");
                expect(store_.GetInteger(key + "\\number") == 0, round,
                       "a removed key's variable reads back");
                tally.delete_calls += 1;
                tally.store_lock_calls += 1;
            }

            for (std::size_t at = 0; at < products_.size(); ++at) {
                const ExpectedExport& row = *products_[at];
                const int answer = CallProduct(row);
                if (IsRule(row)) {
                    expect(answer == rule_answers_[at], round, std::string(row.name) + " answered otherwise");
                    tally.operations_lock_calls += 1;
                } else if (row.name == "LATTICE1") {
                    expect(answer == 1, round, "LATTICE1 did not answer 1");
                    tally.operations_lock_calls += 1;
                } else if (row.name == "COURIER1") {
                    expect(answer == 0, round, "COURIER1 accepted a folder too long for its address");
                    tally.operations_lock_calls += 1;
                } else {
                    expect(answer == 0, round, std::string(row.name) + " answered a request it cannot send");
                    tally.store_lock_calls += 1;
                }
            }
        }
        // What this thread wrote last is still there, whatever the other threads did meanwhile.
        const int last = iterations - 1;
        if (last >= 0 && last % 4 != 3) {
            expect(store_.GetInteger(key + "\\number") == thread * 100000 + last, last,
                   "the last integer is lost");
            tally.store_lock_calls += 1;
        }
        return tally;
    }

private:
    static bool IsRule(const ExpectedExport& row) {
        return row.parameters.find_first_not_of("id") == std::string_view::npos;
    }

    // One call of a product export with the load's fixed arguments.
    int CallProduct(const ExpectedExport& row) const {
        void* address = library_.ByName(std::string(row.name).c_str());
        if (IsRule(row)) {
            const bool takes_direction = row.parameters.starts_with('i');
            std::vector<double> values;
            for (std::size_t at = takes_direction ? 1 : 0; at < row.parameters.size(); ++at) {
                values.push_back(1.0 + 0.5 * static_cast<double>(at));
            }
            return CallRule(address, row.name, 1, values);
        }
        if (row.name == "LATTICE1") {
            char display[16] = {};
            return reinterpret_cast<int(WINAPI*)(const char*, char*)>(address)("USD", display);
        }
        CallerBuffer buffer;
        if (row.name == "COURIER1") {
            const std::string folder(300, 'f');
            return reinterpret_cast<Courier1Export>(address)(buffer.Data(), folder.c_str(), "doc");
        }
        if (row.name == "grabWeb") {
            return reinterpret_cast<GrabWebExport>(address)(buffer.Data(), "", 0);
        }
        return reinterpret_cast<WebRequestExport>(address)(buffer.Data(), "127.0.0.1/load", "", 0);
    }

    const LoadedLibrary& library_;
    StoreExports store_;
    std::vector<const ExpectedExport*> products_;
    std::vector<int> rule_answers_;
};

}  // namespace kelpa::test
