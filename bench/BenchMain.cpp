// zk8bench: how fast the converter is, measured side by side with what
// pugixml itself needs for the same files.
//
//   zk8bench [--scratch DIR] [--sizes 1,10,100] [--keep] [benchmark options]
//       figures 1-3: large files, single records, the UTF-8 rewrite
//   zk8bench --memory [--scratch DIR] [--sizes 1,3,10,30,100]
//            [--shapes mixed,alternating,deep,unknown,openstack] [--keep]
//       figure 4: peak memory and time per MB, each run in a fresh process
//   zk8bench --goals [--scratch DIR] [--sizes 10,50,100] [--runs 3]
//       the goals against the strict floor: large files, 2000 single records
//   zk8bench --singles [--scratch DIR] [--runs 3]
//       the single-record goals alone (for a scratch folder on tmpfs)
//   zk8bench --larges [--scratch DIR] [--sizes 10,50,100] [--runs 3]
//       the large-file goals alone
//   zk8bench --overlap [--scratch DIR] [--threads 8] [--calls 250] [--runs 5]
//       figure 5: threads calling at once against the same calls one at a time
//   zk8bench --scaling [--scratch DIR] [--start 0.5] [--doublings 5] [--runs 3]
//            [--data FILE] [--dimensions size,records,depth,...]
//       every dimension of an input doubled, both directions, conversion and
//       check: the growth factor of each doubling (points for the plot in FILE)
//
// Every comparison runs both sides in the same iteration, one after the
// other, so that their ratio holds on a noisy machine. Generated inputs and
// outputs live below the scratch folder (default /tmp/zk8bench), which is
// removed at the end unless --keep is given.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchEnvironment.h"
#include "encoding/Utf8Rewrite.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

constexpr double kMegabyte = 1024.0 * 1024.0;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string InputName(Dialect dialect, Shape shape, bool utf16, double megabytes) {
    char name[128];
    std::snprintf(name, sizeof name, "%s-%s-%s-%gMB.xml", dialect == Dialect::Customer ? "customer" : "device",
                  ShapeName(shape), utf16 ? "utf16" : "utf8", megabytes);
    return name;
}

std::string GeneratedInput(Dialect dialect, Shape shape, bool utf16, double megabytes) {
    InputRecipe recipe;
    recipe.dialect = dialect;
    recipe.shape = shape;
    recipe.utf16 = utf16;
    recipe.targetBytes = static_cast<std::size_t>(megabytes * kMegabyte);
    return Scratch::Input(InputName(dialect, shape, utf16, megabytes), recipe);
}

// Runs the conversion and the floor alternately, one of each per iteration,
// and reports both (mean times), the median of the per-iteration ratios (each
// conversion against the floor run right next to it, so that a slow spell of
// the machine hits both sides of one ratio) and the conversion's throughput.
// The iteration time is the conversion's.
template <typename Conversion, typename Floor>
void SideBySide(benchmark::State& state, Conversion conversion, Floor floor, double inputBytes,
                double unitScale, const char* unit) {
    double conversionTotal = 0;
    double floorTotal = 0;
    std::vector<double> ratios;
    bool conversionFirst = true;
    for (auto _ : state) {
        double conversionTime, floorTime;
        if (conversionFirst) {
            const auto a = Clock::now();
            conversion();
            const auto b = Clock::now();
            floor();
            const auto c = Clock::now();
            conversionTime = Seconds(a, b);
            floorTime = Seconds(b, c);
        } else {
            const auto a = Clock::now();
            floor();
            const auto b = Clock::now();
            conversion();
            const auto c = Clock::now();
            floorTime = Seconds(a, b);
            conversionTime = Seconds(b, c);
        }
        conversionFirst = !conversionFirst;
        state.SetIterationTime(conversionTime);
        conversionTotal += conversionTime;
        floorTotal += floorTime;
        ratios.push_back(conversionTime / floorTime);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters[std::string("conv_") + unit] = conversionTotal / n * unitScale;
    state.counters[std::string("floor_") + unit] = floorTotal / n * unitScale;
    state.counters["ratio"] = Median(ratios);
    if (inputBytes > 0) {
        state.counters["input_MB"] = inputBytes / kMegabyte;
        state.counters["conv_MBps"] = inputBytes / kMegabyte / (conversionTotal / n);
    }
}

// Figure 1: a large file in one direction against loading it and saving a
// document of the output's size.
void RegisterLargeFile(Direction direction, bool utf16, double megabytes) {
    char name[96];
    std::snprintf(name, sizeof name, "large/%s/%s/%gMB", DirectionName(direction), utf16 ? "utf16" : "utf8",
                  megabytes);
    auto* b = benchmark::RegisterBenchmark(name, [=](benchmark::State& state) {
        const std::string input = GeneratedInput(InputDialect(direction), Shape::Mixed, utf16, megabytes);
        const std::string output = Scratch::OutputPath("large-conv.xml");
        const std::string floorOutput = Scratch::OutputPath("large-floor.xml");
        Convert(direction, input, output);  // warms the caches and gives the output's size
        auto document = std::make_unique<pugi::xml_document>();
        LoadOutput(*document, output);
        SideBySide(
            state, [&] { Convert(direction, input, output); },
            [&] {
                FloorLoad(input);
                FloorSave(*document, floorOutput);
            },
            static_cast<double>(FileSize(input)), 1e3, "ms");
        state.counters["output_MB"] = static_cast<double>(FileSize(output)) / kMegabyte;
    });
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    b->Iterations(megabytes >= 100 ? 3 : megabytes >= 10 ? 10 : 40);
}

// Figure 2: one small file through the export against pugixml loading and
// saving that same file.
void RegisterSingleRecord(Direction direction, bool utf16) {
    char name[96];
    std::snprintf(name, sizeof name, "single/%s/%s", DirectionName(direction), utf16 ? "utf16" : "utf8");
    auto* b = benchmark::RegisterBenchmark(name, [=](benchmark::State& state) {
        const Dialect dialect = InputDialect(direction);
        const std::string text = SingleRecordFile(dialect);
        const std::string bytes = utf16 ? ToUtf16Le([&] {
            std::string t = text;
            t.replace(t.find("UTF-8"), 5, "UTF-16");
            return t;
        }()) : text;
        const std::string input = Scratch::InputPath(std::string("single-") + DirectionName(direction) +
                                                     (utf16 ? "-utf16.xml" : "-utf8.xml"));
        std::FILE* file = std::fopen(input.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        const std::string output = Scratch::OutputPath("single-conv.xml");
        const std::string floorOutput = Scratch::OutputPath("single-floor.xml");
        Convert(direction, input, output);
        SideBySide(
            state, [&] { Convert(direction, input, output); },
            [&] {
                pugi::xml_document document;
                document.load_file(input.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_auto);
                FloorSave(document, floorOutput);
            },
            0, 1e6, "us");
    });
    b->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);
}

// The plain copies the rewrite is compared with: the same bytes read and
// written in chunks of 1024 bytes. "Flushed" writes every chunk through to
// the file before reading the next, which is what the rewrite does with its
// own chunks; "buffered" leaves the writing to the stream's buffer.
void CopyInChunks(const std::string& from, const std::string& to, bool flushEveryChunk) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    char chunk[1024];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        std::fwrite(chunk, 1, count, out);
        if (flushEveryChunk) std::fflush(out);
    }
    std::fclose(out);
    std::fclose(in);
}

// Figure 3: the UTF-8 rewrite into Temp.xml against both plain copies, all
// three in every iteration.
void RegisterRewrite(double megabytes) {
    char name[64];
    std::snprintf(name, sizeof name, "rewrite/%gMB", megabytes);
    auto* b = benchmark::RegisterBenchmark(name, [=](benchmark::State& state) {
        const std::string input = GeneratedInput(Dialect::Customer, Shape::Mixed, false, megabytes);
        const std::string copy = Scratch::OutputPath("rewrite-copy.xml");
        const double bytes = static_cast<double>(FileSize(input));
        double rewriteTotal = 0, flushedTotal = 0, bufferedTotal = 0;
        std::vector<double> flushedRatios, bufferedRatios;
        for (auto _ : state) {
            const auto a = Clock::now();
            char appData[260] = "";
            ConvertToUtf16(input.c_str(), nullptr, appData);
            const auto b = Clock::now();
            CopyInChunks(input, copy, true);
            const auto c = Clock::now();
            CopyInChunks(input, copy, false);
            const auto d = Clock::now();
            state.SetIterationTime(Seconds(a, b));
            rewriteTotal += Seconds(a, b);
            flushedTotal += Seconds(b, c);
            bufferedTotal += Seconds(c, d);
            flushedRatios.push_back(Seconds(a, b) / Seconds(b, c));
            bufferedRatios.push_back(Seconds(a, b) / Seconds(c, d));
        }
        const double n = static_cast<double>(state.iterations());
        const double megabytesIn = bytes / kMegabyte;
        state.counters["rewrite_MBps"] = megabytesIn / (rewriteTotal / n);
        state.counters["flushed_copy_MBps"] = megabytesIn / (flushedTotal / n);
        state.counters["buffered_copy_MBps"] = megabytesIn / (bufferedTotal / n);
        state.counters["ratio_flushed"] = Median(flushedRatios);
        state.counters["ratio_buffered"] = Median(bufferedRatios);
    });
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    b->Iterations(megabytes >= 100 ? 5 : megabytes >= 10 ? 10 : 50);
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

std::vector<double> ParseList(const std::string& text) {
    std::vector<double> values;
    for (const std::string& item : SplitList(text)) values.push_back(std::atof(item.c_str()));
    return values;
}

// The first call in a fresh process, which also builds the dictionary.
void ReportFirstCall(const std::string& self) {
    for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
        const std::string input = Scratch::InputPath("first-call.xml");
        std::FILE* file = std::fopen(input.c_str(), "wb");
        const std::string text = SingleRecordFile(InputDialect(direction));
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        const ChildResult child = RunChild(
            self, {Scratch::Root(), "convert", DirectionName(direction), input, Scratch::OutputPath("first-call-out.xml")});
        if (child.ok && !child.values.empty()) {
            std::printf("first single-record call in a fresh process, %s: %.0f us\n", DirectionName(direction),
                        child.values[0] * 1e6);
        }
    }
    std::fflush(stdout);
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    using namespace bench;
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return ChildMain(argc, argv);

    std::string self = "/proc/self/exe";
    {
        char path[4096];
        const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
        if (length > 0) self.assign(path, static_cast<std::size_t>(length));
    }

    std::string scratch = "/tmp/zk8bench";
    std::vector<double> sizes;
    std::vector<Shape> shapes = {Shape::Mixed, Shape::Alternating, Shape::Deep, Shape::Unknown, Shape::OpenStack};
    bool memory = false;
    bool goals = false;
    bool singlesOnly = false;
    bool largesOnly = false;
    bool overlap = false;
    bool scaling = false;
    double start = 0.5;
    int doublings = 5;
    std::string data = "scaling.txt";
    std::vector<std::string> dimensions;
    int threads = 8;
    int calls = 250;
    int runs = 0;
    bool keep = false;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scratch") == 0 && i + 1 < argc) {
            scratch = argv[++i];
        } else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            sizes = ParseList(argv[++i]);
        } else if (std::strcmp(argv[i], "--shapes") == 0 && i + 1 < argc) {
            shapes.clear();
            for (const std::string& name : SplitList(argv[++i])) {
                Shape shape;
                if (!ParseShape(name, shape)) {
                    std::fprintf(stderr, "zk8bench: unknown shape %s\n", name.c_str());
                    return 2;
                }
                shapes.push_back(shape);
            }
        } else if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else if (std::strcmp(argv[i], "--goals") == 0) {
            goals = true;
        } else if (std::strcmp(argv[i], "--singles") == 0) {
            goals = true;
            singlesOnly = true;
        } else if (std::strcmp(argv[i], "--larges") == 0) {
            goals = true;
            largesOnly = true;
        } else if (std::strcmp(argv[i], "--overlap") == 0) {
            overlap = true;
        } else if (std::strcmp(argv[i], "--scaling") == 0) {
            scaling = true;
        } else if (std::strcmp(argv[i], "--start") == 0 && i + 1 < argc) {
            start = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--doublings") == 0 && i + 1 < argc) {
            doublings = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--dimensions") == 0 && i + 1 < argc) {
            dimensions = SplitList(argv[++i]);
        } else if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            data = argv[++i];
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--calls") == 0 && i + 1 < argc) {
            calls = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (sizes.empty()) {
        sizes = memory ? std::vector<double>{1, 3, 10, 30, 100}
                       : goals ? std::vector<double>{10, 50, 100} : std::vector<double>{1, 10, 100};
    }

    Scratch::Init(scratch);
    Scratch::SetLoggingLevel(1);
    // A host's Interface.ini was written long before its conversions; one
    // written seconds ago is read again before every entry, as a change to it
    // might still hide behind its coarse time stamps.
    std::this_thread::sleep_for(std::chrono::seconds(3));

    int result = 0;
    if (scaling) {
#ifdef ZK8_TOOL_PATH
        result = ScalingMain(self, ZK8_TOOL_PATH, start, doublings, runs > 0 ? runs : 3, data, dimensions);
#else
        std::fprintf(stderr, "zk8bench: built without zk8conv, no scaling benchmark\n");
        result = 2;
#endif
    } else if (overlap) {
        result = OverlapMain(threads, calls, runs > 0 ? runs : 5);
    } else if (goals) {
        result = GoalsMain(self, singlesOnly ? std::vector<double>() : sizes, !largesOnly, runs > 0 ? runs : 3);
    } else if (memory) {
        result = MemoryMain(self, sizes, shapes);
    } else {
        for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
            for (bool utf16 : {false, true}) {
                for (double size : sizes) RegisterLargeFile(direction, utf16, size);
            }
        }
        for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
            for (bool utf16 : {false, true}) RegisterSingleRecord(direction, utf16);
        }
        for (double size : sizes) RegisterRewrite(size);

        int benchmarkArgc = static_cast<int>(rest.size());
        rest.push_back(nullptr);
        benchmark::Initialize(&benchmarkArgc, rest.data());
        ReportFirstCall(self);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    if (!keep) Scratch::RemoveAll();
    return result;
}
