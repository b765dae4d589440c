// Figure 4: peak memory against input size and time per MB, for every shape
// of input, each conversion and each floor run in a fresh process; and the
// memory of one process that converts many times.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchEnvironment.h"

namespace bench {

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;

std::string WriteSmallFile(const std::string& name, const std::string& text) {
    const std::string path = Scratch::InputPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

}  // namespace

int MemoryMain(const std::string& self, const std::vector<double>& sizes, const std::vector<Shape>& shapes) {
    const std::string root = Scratch::Root();

    const ChildResult idle = RunChild(self, {root, "idle"});
    const double idlePeak = idle.values.size() >= 2 ? idle.values[1] / 1024.0 : 0;
    std::printf("Fresh process without work: %.1f MB resident at peak (included in every peak below)\n",
                idlePeak);
    std::printf("Times: the best of three runs up to 10 MB, one run above. time = conv_s / floor_s; "
                "ratio = conv_MB / floor_MB; net = the same without the fresh process's own %.1f MB\n\n",
                idlePeak);
    std::printf("%-11s %-11s %8s | %9s %8s %9s | %9s %9s %6s %6s | %6s | %9s %9s %6s %6s\n", "direction", "shape",
                "input_MB", "conv_s", "s_per_MB", "floor_s", "conv_MB", "floor_MB", "ratio", "net", "time",
                "strict_s", "strict_MB", "t/str", "m/str");
    std::fflush(stdout);

    // Best time and highest peak of a few runs of the same child.
    struct Best {
        bool ok = true;
        double seconds = 1e30;
        double peak = 0;
    };
    auto best = [&](const std::vector<std::string>& arguments, int runs) {
        Best b;
        for (int run = 0; run < runs; ++run) {
            const ChildResult child = RunChild(self, arguments);
            if (!child.ok || child.values.size() < 2) {
                b.ok = false;
                return b;
            }
            b.seconds = std::min(b.seconds, child.values[0]);
            b.peak = std::max(b.peak, child.values[1] / 1024.0);
        }
        return b;
    };

    for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
        for (Shape shape : shapes) {
            for (double megabytes : sizes) {
                InputRecipe recipe;
                recipe.dialect = InputDialect(direction);
                recipe.shape = shape;
                recipe.targetBytes = static_cast<std::size_t>(megabytes * kMegabyte);
                char name[96];
                std::snprintf(name, sizeof name, "memory-%s-%s-%gMB.xml", DirectionName(direction), ShapeName(shape),
                              megabytes);
                const std::string input = Scratch::Input(name, recipe);
                const std::string output = Scratch::OutputPath("memory-conv.xml");
                const std::string floorOutput = Scratch::OutputPath("memory-floor.xml");
                const double inputMegabytes = static_cast<double>(FileSize(input)) / kMegabyte;
                const int runs = megabytes <= 10 ? 3 : 1;

                const Best conversion = best({root, "convert", DirectionName(direction), input, output}, runs);
                const Best floor = best({root, "floor", input, output, floorOutput}, runs);
                const Best strict = best({root, "strict", input, floorOutput}, runs);
                if (!conversion.ok || !floor.ok || !strict.ok) {
                    std::printf("%-11s %-11s %8.1f   (run failed)\n", DirectionName(direction), ShapeName(shape),
                                inputMegabytes);
                    continue;
                }
                std::printf("%-11s %-11s %8.1f | %9.3f %8.4f %9.3f | %9.1f %9.1f %6.2f %6.2f | %6.2f | %9.3f %9.1f "
                            "%6.2f %6.2f\n",
                            DirectionName(direction), ShapeName(shape), inputMegabytes, conversion.seconds,
                            conversion.seconds / inputMegabytes, floor.seconds, conversion.peak, floor.peak,
                            conversion.peak / floor.peak, (conversion.peak - idlePeak) / (floor.peak - idlePeak),
                            conversion.seconds / floor.seconds, strict.seconds, strict.peak,
                            conversion.seconds / strict.seconds, conversion.peak / strict.peak);
                std::fflush(stdout);
                std::remove(input.c_str());
                std::remove(output.c_str());
                std::remove((output + "_Status.xml").c_str());
                std::remove(floorOutput.c_str());
            }
        }
    }

    // Memory of one process converting many times: resident memory and peak
    // after the first conversion and after the last.
    std::printf("\nRepeated conversions in one process (resident MB after the first / after the last; "
                "peak MB after the first / after the last):\n");
    struct Case {
        Direction direction;
        const char* label;
        double megabytes;
        long count;
    };
    const Case cases[] = {
        {Direction::ToDevice, "single record", 0, 5000},
        {Direction::ToCustomer, "single record", 0, 5000},
        {Direction::ToDevice, "1 MB mixed", 1, 200},
        {Direction::ToCustomer, "1 MB mixed", 1, 200},
    };
    for (const Case& c : cases) {
        std::string input;
        if (c.megabytes == 0) {
            input = WriteSmallFile(std::string("repeat-single-") + DirectionName(c.direction) + ".xml",
                                   SingleRecordFile(InputDialect(c.direction)));
        } else {
            InputRecipe recipe;
            recipe.dialect = InputDialect(c.direction);
            recipe.targetBytes = static_cast<std::size_t>(c.megabytes * kMegabyte);
            input = Scratch::Input(std::string("repeat-") + DirectionName(c.direction) + ".xml", recipe);
        }
        const ChildResult repeat = RunChild(self, {root, "repeat", DirectionName(c.direction), input,
                                                   Scratch::OutputPath("repeat-out.xml"), std::to_string(c.count)});
        if (!repeat.ok || repeat.values.size() < 5) {
            std::printf("  %-11s %-13s (run failed)\n", DirectionName(c.direction), c.label);
            continue;
        }
        std::printf("  %-11s %-13s x%-6ld resident %6.1f / %6.1f   peak %6.1f / %6.1f   (%.1f us per conversion)\n",
                    DirectionName(c.direction), c.label, c.count, repeat.values[1] / 1024.0, repeat.values[3] / 1024.0,
                    repeat.values[2] / 1024.0, repeat.values[4] / 1024.0, repeat.values[0] / c.count * 1e6);
        std::fflush(stdout);
    }
    return 0;
}

// The goals against the floors (see BENCHMARKS.md, "The floors"): large
// files in both directions against the strict floor (the input loaded and
// that same document saved as UTF-16) and the mandated floor (the input
// loaded and a document of the output's real size saved), every run in a
// fresh process, the three in turn; and 2000 single-record calls in one
// process against 2000 strict floor loops and 2000 fair floor loops (what
// every call must do: the load and the save, a look at Interface.ini, the
// call's run-log bytes appended to a log opened and closed by the call).
int GoalsMain(const std::string& self, const std::vector<double>& sizes, bool singles, int runs) {
    const std::string root = Scratch::Root();
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t m = values.size() / 2;
        return values.size() % 2 == 1 ? values[m] : (values[m - 1] + values[m]) / 2;
    };
    // Runs the children `runs` times, each run in turn from another one;
    // gives the median time and peak of each and the median per-run ratios
    // of the first to each of the others.
    struct Side {
        double seconds = 0, peak = 0, timeRatio = 0, peakRatio = 0, cpuRatio = 0;
    };
    auto measure = [&](const std::vector<std::vector<std::string>>& children, std::vector<Side>& sides) {
        const std::size_t n = children.size();
        std::vector<std::vector<double>> times(n), peaks(n), timeRatios(n), peakRatios(n), cpuRatios(n);
        for (int run = 0; run < runs; ++run) {
            std::vector<ChildResult> results(n);
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t which = (k + static_cast<std::size_t>(run)) % n;
                results[which] = RunChild(self, children[which]);
                if (!results[which].ok || results[which].values.size() < 2) return false;
            }
            for (std::size_t k = 0; k < n; ++k) {
                times[k].push_back(results[k].values[0]);
                peaks[k].push_back(results[k].values[1] / 1024.0);
                timeRatios[k].push_back(results[0].values[0] / results[k].values[0]);
                peakRatios[k].push_back(results[0].values[1] / results[k].values[1]);
                if (results[0].values.size() == 3 && results[k].values.size() == 3) {
                    cpuRatios[k].push_back(results[0].values[2] / results[k].values[2]);
                }
            }
        }
        sides.assign(n, Side());
        for (std::size_t k = 0; k < n; ++k) {
            sides[k] = Side{median(times[k]), median(peaks[k]), median(timeRatios[k]), median(peakRatios[k]),
                            cpuRatios[k].empty() ? 0 : median(cpuRatios[k])};
        }
        return true;
    };

    if (!sizes.empty()) {
        std::printf("Large files, %d runs each (medians); goals: to customer time <= 1.1 of the mandated floor, "
                    "to device <= 1.0; peak <= 1.05 of the strict floor. t/: time on the wall, cpu/: processor "
                    "time, against the strict and the mandated floor\n", runs);
        std::printf("%-11s %-6s %8s | %9s %9s %9s %6s %6s %7s %7s | %9s %9s %6s\n", "direction", "input",
                    "input_MB", "conv_s", "strict_s", "mandat_s", "t/str", "t/man", "cpu/str", "cpu/man", "conv_MB",
                    "strict_MB", "peak");
        std::fflush(stdout);
    }
    const struct {
        Direction direction;
        bool utf16;
    } larges[] = {{Direction::ToDevice, false}, {Direction::ToCustomer, true}};
    for (const auto& large : larges) {
        for (double megabytes : sizes) {
            InputRecipe recipe;
            recipe.dialect = InputDialect(large.direction);
            recipe.utf16 = large.utf16;
            recipe.targetBytes = static_cast<std::size_t>(megabytes * kMegabyte);
            char name[96];
            std::snprintf(name, sizeof name, "goal-%s-%gMB.xml", DirectionName(large.direction), megabytes);
            const std::string input = Scratch::Input(name, recipe);
            const std::string output = Scratch::OutputPath("goal-conv.xml");
            const std::string floorOutput = Scratch::OutputPath("goal-strict.xml");
            // The mandated floor saves a document of the conversion's output.
            const ChildResult first = RunChild(self, {root, "convert", DirectionName(large.direction), input, output});
            std::vector<Side> sides;
            const bool ok = first.ok && measure({{root, "convert", DirectionName(large.direction), input, output},
                                                 {root, "strict", input, floorOutput},
                                                 {root, "floor", input, output, floorOutput}},
                                                sides);
            const double inputMegabytes = static_cast<double>(FileSize(input)) / kMegabyte;
            if (!ok) {
                std::printf("%-11s %-6s %8.1f   (run failed)\n", DirectionName(large.direction),
                            large.utf16 ? "utf16" : "utf8", inputMegabytes);
            } else {
                std::printf("%-11s %-6s %8.1f | %9.3f %9.3f %9.3f %6.2f %6.2f %7.2f %7.2f | %9.1f %9.1f %6.2f\n",
                            DirectionName(large.direction), large.utf16 ? "utf16" : "utf8", inputMegabytes,
                            sides[0].seconds, sides[1].seconds, sides[2].seconds, sides[1].timeRatio,
                            sides[2].timeRatio, sides[1].cpuRatio, sides[2].cpuRatio, sides[0].peak, sides[1].peak,
                            sides[1].peakRatio);
            }
            std::fflush(stdout);
            std::remove(input.c_str());
            std::remove(output.c_str());
            std::remove((output + "_Status.xml").c_str());
            std::remove(floorOutput.c_str());
        }
    }

    if (!singles) return 0;
    const long calls = 2000;
    std::printf("\n%ld single-record calls in one process against %ld strict and %ld fair floor loops, %d runs "
                "each, in %s\n", calls, calls, calls, runs, root.c_str());
    std::printf("%-11s %-6s | %9s %9s %9s %6s %6s | %8s\n", "direction", "input", "conv_us", "strict_us", "fair_us",
                "t/str", "t/fair", "log_B");
    for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
        for (bool utf16 : {false, true}) {
            std::string text = SingleRecordFile(InputDialect(direction));
            if (utf16) text = ToUtf16Le(text.replace(text.find("UTF-8"), 5, "UTF-16"));
            const std::string input = WriteSmallFile(std::string("goal-single-") + DirectionName(direction) +
                                                         (utf16 ? "-utf16.xml" : "-utf8.xml"), text);
            const std::string output = Scratch::OutputPath("goal-single.xml");
            // The run-log bytes of one call: the log after two calls less the
            // log after one (its head is written once).
            const std::string runLog = Scratch::WorkDir() + "/Runlog.log";
            std::remove(runLog.c_str());
            RunChild(self, {root, "repeat", DirectionName(direction), input, output, "1"});
            const std::size_t afterOne = FileSize(runLog);
            RunChild(self, {root, "repeat", DirectionName(direction), input, output, "1"});
            const std::size_t logBytes = FileSize(runLog) - afterOne;
            // What the call writes besides its output: the status file, and
            // Temp.xml (the input as UTF-16, a mark in front).
            const std::size_t statusBytes =
                direction == Direction::ToCustomer ? FileSize(output + "_Status.xml") : 0;
            const std::size_t tempBytes = utf16 ? 0 : 2 * FileSize(input) + 2;
            std::vector<Side> sides;
            const bool ok = measure({{root, "repeat", DirectionName(direction), input, output, std::to_string(calls)},
                                     {root, "strict-repeat", input, Scratch::OutputPath("goal-single-strict.xml"),
                                      std::to_string(calls)},
                                     {root, "fair-repeat", input, Scratch::OutputPath("goal-single-fair.xml"),
                                      std::to_string(calls), std::to_string(logBytes), std::to_string(statusBytes),
                                      std::to_string(tempBytes)}},
                                    sides);
            if (!ok) {
                std::printf("%-11s %-6s   (run failed)\n", DirectionName(direction), utf16 ? "utf16" : "utf8");
                continue;
            }
            std::printf("%-11s %-6s | %9.1f %9.1f %9.1f %6.2f %6.2f | %8zu\n", DirectionName(direction),
                        utf16 ? "utf16" : "utf8", sides[0].seconds / calls * 1e6, sides[1].seconds / calls * 1e6,
                        sides[2].seconds / calls * 1e6, sides[1].timeRatio, sides[2].timeRatio, logBytes);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace bench
