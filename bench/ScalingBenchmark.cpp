// The scaling benchmark: every dimension of an input doubled step by step,
// in both directions, through a conversion (the export, in a fresh process)
// and through `zk8conv check`, timed by processor time, which other programs
// on a shared machine disturb less than the clock on the wall; the growth factor of each doubling is the
// time at the larger size over the time at the smaller one, which is 2 for a
// cost linear in that dimension and 4 for a quadratic one.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/BenchEnvironment.h"
#include "bench/ScalingInput.h"

namespace bench {

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;

// Processor time (user and system) of `tool check input`, its report
// discarded; a negative time when it did not run to an end (exit 0 or 1).
double TimeCheck(const std::string& tool, const std::string& input) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        execl(tool.c_str(), tool.c_str(), "check", input.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Point {
    double megabytes = 0;
    double convert = -1;  // seconds, best of the runs
    double check = -1;
};

std::string Growth(double now, double before) {
    if (now <= 0 || before <= 0) return "     -";
    char text[16];
    std::snprintf(text, sizeof text, "%6.2f", now / before);
    return text;
}

}  // namespace

int ScalingMain(const std::string& self, const std::string& tool, double startMegabytes, int doublings, int runs,
                const std::string& dataPath, const std::vector<std::string>& only) {
    const std::string root = Scratch::Root();
    std::printf("Each dimension doubled %d times from %g MB, both directions; times are processor time (user and "
                "system: the conversion's call, the whole check process), the best of %d fresh processes; growth = "
                "time / time at half the size (goal: at most 2.3)\n",
                doublings, startMegabytes, runs);
    std::printf("%-11s %-16s %8s | %9s %6s | %9s %6s\n", "direction", "dimension", "input_MB", "convert_s", "growth",
                "check_s", "growth");
    std::fflush(stdout);

    std::ofstream data(dataPath);
    data << "# zk8bench --scaling: input_MB convert_s check_s, one block per direction and dimension\n";
    double worst = 0;
    std::string worstWhere;
    // Over all the doublings: the time at the largest size over the time at
    // the smallest, against the input's growth (32 for five doublings).
    std::vector<std::string> spans;
    for (Direction direction : {Direction::ToDevice, Direction::ToCustomer}) {
        for (Dimension dimension : kDimensions) {
            if (!only.empty() && std::find(only.begin(), only.end(), DimensionName(dimension)) == only.end()) {
                continue;
            }
            data << "# " << DirectionName(direction) << " " << DimensionName(dimension) << "\n";
            Point previous;
            Point first;
            for (int step = 0; step <= doublings; ++step) {
                const double target = startMegabytes * static_cast<double>(1 << step);
                const std::string input = Scratch::InputPath("scaling.xml");
                {
                    std::ofstream file(input, std::ios::binary | std::ios::trunc);
                    file << ScalingInput(InputDialect(direction), dimension,
                                         static_cast<std::size_t>(target * kMegabyte));
                }
                Point point;
                point.megabytes = static_cast<double>(FileSize(input)) / kMegabyte;
                const std::string output = Scratch::OutputPath("scaling-out.xml");
                for (int run = 0; run < runs; ++run) {
                    const ChildResult child = RunChild(self, {root, "convert", DirectionName(direction), input, output});
                    if (child.ok && child.values.size() >= 3) {
                        point.convert = point.convert < 0 ? child.values[2] : std::min(point.convert, child.values[2]);
                    }
                    const double check = TimeCheck(tool, input);
                    if (check >= 0) point.check = point.check < 0 ? check : std::min(point.check, check);
                }
                const std::string convertGrowth = step > 0 ? Growth(point.convert, previous.convert) : "     -";
                const std::string checkGrowth = step > 0 ? Growth(point.check, previous.check) : "     -";
                std::printf("%-11s %-16s %8.2f | %9.4f %s | %9.4f %s\n", DirectionName(direction),
                            DimensionName(dimension), point.megabytes, point.convert, convertGrowth.c_str(),
                            point.check, checkGrowth.c_str());
                std::fflush(stdout);
                data << point.megabytes << " " << point.convert << " " << point.check << "\n";
                if (step > 0) {
                    for (const auto& [now, before, what] :
                         {std::make_tuple(point.convert, previous.convert, "convert"),
                          std::make_tuple(point.check, previous.check, "check")}) {
                        if (now > 0 && before > 0 && now / before > worst) {
                            worst = now / before;
                            char where[160];
                            std::snprintf(where, sizeof where, "%s, %s %s, %.1f to %.1f MB", what,
                                          DirectionName(direction), DimensionName(dimension), previous.megabytes,
                                          point.megabytes);
                            worstWhere = where;
                        }
                    }
                }
                if (step == 0) first = point;
                if (step == doublings && first.convert > 0 && first.check > 0) {
                    char span[160];
                    std::snprintf(span, sizeof span, "%-11s %-16s %8.1f | %9.1f | %9.1f", DirectionName(direction),
                                  DimensionName(dimension), point.megabytes / first.megabytes,
                                  point.convert / first.convert, point.check / first.check);
                    spans.push_back(span);
                }
                previous = point;
                std::remove(output.c_str());
                std::remove((output + "_Status.xml").c_str());
            }
            data << "\n\n";
        }
    }
    std::printf("Largest growth factor: %.2f (%s); goal: at most 2.3\n", worst, worstWhere.c_str());
    std::printf("\nOver all %d doublings: time at the largest size / time at the smallest (a cost linear in the "
                "dimension grows as the input, a quadratic one as its square)\n", doublings);
    std::printf("%-11s %-16s %8s | %9s | %9s\n", "direction", "dimension", "input", "convert", "check");
    for (const std::string& span : spans) std::printf("%s\n", span.c_str());
    return 0;
}

}  // namespace bench
