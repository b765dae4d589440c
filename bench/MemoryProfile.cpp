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
    std::printf("%-11s %-11s %8s | %9s %8s %9s | %9s %9s %6s %6s | %6s\n", "direction", "shape", "input_MB",
                "conv_s", "s_per_MB", "floor_s", "conv_MB", "floor_MB", "ratio", "net", "time");
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
                if (!conversion.ok || !floor.ok) {
                    std::printf("%-11s %-11s %8.1f   (run failed)\n", DirectionName(direction), ShapeName(shape),
                                inputMegabytes);
                    continue;
                }
                std::printf("%-11s %-11s %8.1f | %9.3f %8.4f %9.3f | %9.1f %9.1f %6.2f %6.2f | %6.2f\n",
                            DirectionName(direction), ShapeName(shape), inputMegabytes, conversion.seconds,
                            conversion.seconds / inputMegabytes, floor.seconds, conversion.peak, floor.peak,
                            conversion.peak / floor.peak, (conversion.peak - idlePeak) / (floor.peak - idlePeak),
                            conversion.seconds / floor.seconds);
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

}  // namespace bench
