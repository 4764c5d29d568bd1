// Runs the benchmarks and prints one table: each figure, what was measured, its target,
// the ratio the target bounds, and whether it was met.
//
//   fw_bench [--extra-rows=<file>] [Google Benchmark flags]
// The extra-rows file adds rows measured elsewhere (the Windows pauses under Wine): one
// row a line, five tab-separated fields.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// Keeps every run, by benchmark function, and tells the operator what is going on.
class CollectingReporter : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.error_occurred) {
                errors[run.run_name.function_name] = run.error_message;
                std::cerr << run.run_name.function_name << ": " << run.error_message << "\n";
                continue;
            }
            byName[run.run_name.function_name].push_back(run);
        }
    }
    std::map<std::string, std::vector<Run>> byName;
    std::map<std::string, std::string> errors;
};

struct Row {
    std::string figure, measured, target, ratio, result;
};

std::string Format(const char* format, double a, double b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

class Table {
  public:
    explicit Table(const CollectingReporter& runs) : runs_(runs) {}

    bool Has(const std::string& name) const { return runs_.byName.count(name) != 0; }
    // Median time per iteration over the repetitions, in seconds: CPU time (user and
    // system) by default, which other processes on a shared machine disturb far less than
    // the wall clock.
    double MedianSeconds(const std::string& name, bool wall = false) const {
        std::vector<double> times;
        for (const auto& run : runs_.byName.at(name))
            times.push_back((wall ? run.real_accumulated_time : run.cpu_accumulated_time) /
                            static_cast<double>(run.iterations));
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }
    double Counter(const std::string& name, const std::string& counter) const {
        const auto& counters = runs_.byName.at(name).front().counters;
        auto it = counters.find(counter);
        return it == counters.end() ? 0.0 : it->second.value;
    }

    void Add(Row row) { rows_.push_back(std::move(row)); }
    void Missing(const std::string& figure, const std::string& name) {
        auto it = runs_.errors.find(name);
        Add({figure, it != runs_.errors.end() ? "failed: " + it->second : "not run", "", "",
             "MISS"});
    }

    void Print() const {
        const Row header{"Figure", "Measured", "Target", "Ratio", "Result"};
        size_t w[5] = {};
        auto widen = [&](const Row& r) {
            const std::string* f[5] = {&r.figure, &r.measured, &r.target, &r.ratio, &r.result};
            for (int i = 0; i < 5; ++i) w[i] = std::max(w[i], f[i]->size());
        };
        widen(header);
        for (const Row& r : rows_) widen(r);
        auto print = [&](const Row& r) {
            std::printf("| %-*s | %-*s | %-*s | %-*s | %-*s |\n", int(w[0]), r.figure.c_str(),
                        int(w[1]), r.measured.c_str(), int(w[2]), r.target.c_str(), int(w[3]),
                        r.ratio.c_str(), int(w[4]), r.result.c_str());
        };
        print(header);
        std::printf("|%s|%s|%s|%s|%s|\n", std::string(w[0] + 2, '-').c_str(),
                    std::string(w[1] + 2, '-').c_str(), std::string(w[2] + 2, '-').c_str(),
                    std::string(w[3] + 2, '-').c_str(), std::string(w[4] + 2, '-').c_str());
        for (const Row& r : rows_) print(r);
    }

  private:
    const CollectingReporter& runs_;
    std::vector<Row> rows_;
};

const char* Verdict(bool met) {
    return met ? "pass" : "MISS";
}

void AddLoadRows(Table& t) {
    if (!t.Has("BM_Load") || !t.Has("BM_PlainRead")) {
        t.Missing("Load: parse + validate, full-size file", "BM_Load");
        return;
    }
    const double load = t.MedianSeconds("BM_Load") * 1e3;
    const double read = t.MedianSeconds("BM_PlainRead") * 1e3;
    const double ratio = load / read;
    t.Add({"Load: parse + validate, full-size file",
           Format("%.3f ms CPU (plain read %.3f ms)", load, read), "<= 2.00x plain read",
           Format("%.2fx", ratio), Verdict(ratio <= 2.0)});
    const double loadWall = t.MedianSeconds("BM_Load", true) * 1e3;
    const double readWall = t.MedianSeconds("BM_PlainRead", true) * 1e3;
    t.Add({"  the same on the wall clock",
           Format("%.3f ms (plain read %.3f ms)", loadWall, readWall), "",
           Format("%.2fx", loadWall / readWall), "info"});

    const double extra = t.Counter("BM_Load", "heap_extra") / 1024.0;
    t.Add({"Memory: heap beyond the file while loading",
           Format("%.1f KiB (file %.0f KiB)", extra, t.Counter("BM_Load", "file_bytes") / 1024),
           "<= 1024 KiB", Format("%.3f", extra / 1024.0), Verdict(extra <= 1024.0)});
}

void AddChecksumRow(Table& t) {
    if (!t.Has("BM_Checksum")) {
        t.Missing("Checksum: 0xD0000-byte region", "BM_Checksum");
        return;
    }
    const double bytes = t.Counter("BM_Checksum", "bytes");
    const double gbps = bytes / t.MedianSeconds("BM_Checksum") / 1e9;
    const double wallGbps = bytes / t.MedianSeconds("BM_Checksum", true) / 1e9;
    t.Add({"Checksum: 0xD0000-byte region",
           Format("%.2f GB/s CPU (%.2f GB/s wall)", gbps, wallGbps), ">= 4.00 GB/s",
           Format("%.2fx", gbps / 4.0), Verdict(gbps >= 4.0)});
}

void AddUpdateRows(Table& t) {
    if (!t.Has("BM_Update")) {
        t.Missing("Update: click to completion line", "BM_Update");
        return;
    }
    auto c = [&](const char* counter) { return t.Counter("BM_Update", counter); };
    const double wall = c("wall_ms"), floor = c("floor_ms");
    t.Add({"Update: click to completion line, real pauses",
           Format("%.2f s (floor %.2f s)", wall / 1e3, floor / 1e3), "<= 1.010x floor",
           Format("%.4fx", wall / floor), Verdict(floor > 0 && wall <= 1.01 * floor)});

    const double over = c("slept_ms") - c("asked_ms");
    t.Add({"  of which pauses overshot",
           Format("%.0f ms over %.0f pauses", over,
                  c("pause10_count") + c("pause25_count") + c("pause3500_count")),
           "", Format("%.4fx", (floor + over) / floor), "info"});
    const double work = wall - c("slept_ms");
    t.Add({"  of which work (program and simulated instrument)", Format("%.0f ms", work), "", "",
           "info"});
    for (const char* ms : {"10", "25", "3500"}) {
        const std::string p = std::string("pause") + ms;
        if (c((p + "_count").c_str()) == 0) continue;
        const double least = c((p + "_min_over_ms").c_str());
        t.Add({std::string("  Sleep(") + ms + ") on this machine",
               Format("+%.3f ms mean, ", c((p + "_mean_over_ms").c_str())) +
                   Format("+%.3f ms least, ", least) +
                   Format("+%.3f ms most", c((p + "_max_over_ms").c_str())),
               "never shorter", "", Verdict(least >= 0.0)});
    }
    const double violations = c("violations");
    t.Add({"  instrument saw short pauses or bad frames", Format("%.0f", violations), "0", "",
           Verdict(violations == 0)});

    const double largest = c("program_largest_allocation") / 1024.0;
    t.Add({"Memory: program allocations during the update",
           Format("%.0f allocations, ", c("program_allocations")) +
               Format("%.1f KiB in all, largest %.1f KiB", c("program_allocated_bytes") / 1024,
                      largest),
           "no copy of file data (< 64 KiB in all)",
           Format("%.3f", c("program_allocated_bytes") / 65536.0),
           Verdict(c("program_allocated_bytes") < 65536.0)});
}

void AddAtOnceRows(Table& t) {
    if (!t.Has("BM_UpdateAtOnce") || !t.Has("BM_Update")) {
        t.Missing("Update: 32 instruments at once against one", "BM_UpdateAtOnce");
        return;
    }
    auto c = [&](const char* counter) { return t.Counter("BM_UpdateAtOnce", counter); };
    const double one = t.Counter("BM_Update", "wall_ms"), all = c("wall_ms");
    t.Add({"Update: 32 instruments at once against one, real pauses",
           Format("%.2f s (one: %.2f s)", all / 1e3, one / 1e3), "<= 1.10x one",
           Format("%.4fx", all / one), Verdict(one > 0 && all <= 1.10 * one)});
    t.Add({"  first of the 32 to complete", Format("%.2f s", c("fastest_ms") / 1e3), "",
           Format("%.4fx", c("fastest_ms") / one), "info"});
    t.Add({"  pauses on every instrument",
           Format("+%.3f ms mean, +%.3f ms least", c("mean_over_ms"), c("least_over_ms")),
           "never shorter", "", Verdict(c("least_over_ms") >= 0.0)});
    const double violations = c("violations");
    t.Add({"  instruments saw short pauses or bad frames", Format("%.0f", violations), "0", "",
           Verdict(violations == 0)});
    const double heap = c("heap_per_instrument") / 1024.0;
    t.Add({"Memory: heap per instrument at once, beyond the parsed image", Format("%.1f KiB", heap),
           "<= 64 KiB", Format("%.3f", heap / 64.0), Verdict(heap <= 64.0)});
}

void AddLongSessionRow(Table& t) {
    if (!t.Has("BM_LongSession")) {
        t.Missing("Memory: heap growth over a day's session", "BM_LongSession");
        return;
    }
    const double loads = t.Counter("BM_LongSession", "load_growth");
    const double updates = t.Counter("BM_LongSession", "update_growth");
    const double most = std::max(loads, updates);
    t.Add({"Memory: heap growth over a day's session",
           Format("%.0f B over 900 loads, ", loads) + Format("%.0f B over 90 updates", updates),
           "<= 16 KiB each", Format("%.3f", most / 16384.0), Verdict(most <= 16384.0)});
}

void AddExtraRows(Table& t, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // written under Wine
        Row row;
        std::string* fields[5] = {&row.figure, &row.measured, &row.target, &row.ratio, &row.result};
        size_t start = 0;
        for (int i = 0; i < 5; ++i) {
            const size_t tab = line.find('\t', start);
            *fields[i] =
                line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (!row.figure.empty()) t.Add(row);
    }
}

std::string FirstLineOf(const char* path, const char* prefix) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return line;
    return std::string();
}

// The conditions the figures were taken under: other processes' load moves them.
std::string LoadAverage() {
    std::string line = FirstLineOf("/proc/loadavg", "");
    return line.substr(0, line.find(' '));
}

std::string CpuModel() {
    std::string line = FirstLineOf("/proc/cpuinfo", "model name");
    const size_t colon = line.find(": ");
    return colon == std::string::npos ? "unknown" : line.substr(colon + 2);
}

}  // namespace

int main(int argc, char** argv) {
    std::string extraRows;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--extra-rows=", 13) == 0)
            extraRows = argv[i] + 13;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    const std::string loadBefore = LoadAverage();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    Table table(reporter);
    AddLoadRows(table);
    AddChecksumRow(table);
    AddUpdateRows(table);
    AddAtOnceRows(table);
    AddLongSessionRow(table);
    if (!extraRows.empty()) AddExtraRows(table, extraRows);
    table.Print();
    std::printf("\nMachine: %ld processors, %s; load average %s before, %s after; compiler %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str(), loadBefore.c_str(),
                LoadAverage().c_str(), __VERSION__);
    return 0;
}
