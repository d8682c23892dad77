#include "table.h"

#include <cstdio>
#include <utility>

namespace kelpa::bench {

std::string Duration(double nanoseconds) {
    if (nanoseconds <= 0) {
        return "n/a";  // a difference of two runs lost in their noise (smoke runs)
    }
    const char* unit = "ns";
    double value = nanoseconds;
    if (value >= 1e6) {
        value /= 1e6;
        unit = "ms";
    } else if (value >= 1e3) {
        value /= 1e3;
        unit = "us";
    }
    char text[32];
    std::snprintf(text, sizeof text,
                  value >= 100  ? "%.0f %s"
                  : value >= 10 ? "%.1f %s"
                                : "%.2f %s",
                  value, unit);
    return text;
}

void Table::Add(std::string subject, std::string baseline, const SideBySide& timing, double goal,
                std::string note) {
    Row row{std::move(subject), std::move(baseline), timing, goal, {}, std::move(note)};
    if (!timing.ok) {
        row.failure = "a call gave a wrong answer";
    }
    rows_.push_back(std::move(row));
}

void Table::Fail(std::string subject, std::string baseline, std::string why) {
    rows_.push_back(Row{std::move(subject), std::move(baseline), {}, 0, std::move(why), {}});
}

void Table::Print(const std::string& platform) const {
    std::printf("Platform: %s\n", platform.c_str());
    std::printf(
        "Ratio: the export's time per call over its baseline's, both measured in alternating rounds in this\n"
        "one process. Times are medians: of the rounds' batch means (rules, variables, curl), or of single\n"
        "calls (web requests against the raw request). The ratio is the median of the rounds' ratios, or\n"
        "for single calls the ratio of the two medians.\n\n");
    std::printf("%-48s %-54s %10s %10s %7s %6s %s\n", "export", "baseline", "export", "baseline", "ratio",
                "goal", "within");
    for (const Row& row : rows_) {
        if (!row.failure.empty()) {
            std::printf("%-48s %-54s %10s %10s %7s %6s %s\n", row.subject.c_str(), row.baseline.c_str(), "-",
                        "-", "-", "-", "not measured");
            continue;
        }
        char goal[16] = "-";
        if (row.goal > 0) {
            std::snprintf(goal, sizeof goal, "%.2f", row.goal);
        }
        std::printf("%-48s %-54s %10s %10s %7.3f %6s %s\n", row.subject.c_str(), row.baseline.c_str(),
                    Duration(row.timing.subject_nanoseconds).c_str(),
                    Duration(row.timing.baseline_nanoseconds).c_str(), row.timing.ratio, goal,
                    row.goal <= 0                  ? "-"
                    : row.timing.ratio <= row.goal ? "yes"
                                                   : "no");
    }
    std::printf("\n");
    for (const Row& row : rows_) {
        if (!row.failure.empty()) {
            std::printf("not measured: %s: %s\n", row.subject.c_str(), row.failure.c_str());
        } else {
            std::printf("%s: %ld calls per batch, %d rounds%s%s\n", row.subject.c_str(),
                        row.timing.calls_per_batch, row.timing.rounds, row.note.empty() ? "" : "; ",
                        row.note.c_str());
        }
    }
}

bool Table::AllMeasured() const {
    for (const Row& row : rows_) {
        if (!row.failure.empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace kelpa::bench
