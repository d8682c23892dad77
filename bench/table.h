// The benchmark's one table: each row an export against its baseline, timed side by side.
#pragma once

#include <string>
#include <vector>

#include "side_by_side.h"

namespace kelpa::bench {

// "812 ns", "23.4 us", "1.52 ms": three significant figures in the fitting unit.
std::string Duration(double nanoseconds);

struct Row {
    std::string subject;   // the export and what it was given
    std::string baseline;  // what it is measured against
    SideBySide timing;
    double goal = 0;      // the ratio it should stay within
    std::string failure;  // why the row could not be measured; empty when it was
    std::string note;     // what else the measurement saw
};

class Table {
public:
    void Add(std::string subject, std::string baseline, const SideBySide& timing, double goal,
             std::string note = {});
    void Fail(std::string subject, std::string baseline, std::string why);

    // The table, then a line for each row that could not be measured.
    void Print(const std::string& platform) const;
    // Whether every row was measured and every call gave its expected answer.
    bool AllMeasured() const;

private:
    std::vector<Row> rows_;
};

}  // namespace kelpa::bench
