// Figure 5: calls that overlap. Several threads of one host each convert
// small files, both directions, each thread with files and a working
// directory of its own, against the very same calls made one at a time on
// one thread. The library runs overlapping calls one at a time, so the
// question is what waiting for the lock costs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchEnvironment.h"
#include "zk8_xml_conv.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// One worker's share: its inputs, outputs and working directory.
struct Share {
    std::string customer, device, deviceOut, customerOut, work;
};

Share MakeShare(int worker) {
    const std::string tag = "overlap-" + std::to_string(worker);
    Share share;
    share.work = Scratch::Root() + "/work/" + tag;
    std::filesystem::create_directories(share.work);
    std::ofstream(share.work + "/Interface.ini", std::ios::binary) << "[LogFiles]\r\nLoggingLevel=1\r\n";
    share.customer = Scratch::InputPath(tag + "-customer.xml");
    share.device = Scratch::InputPath(tag + "-device.xml");
    std::ofstream(share.customer, std::ios::binary) << SingleRecordFile(Dialect::Customer);
    std::ofstream(share.device, std::ios::binary) << SingleRecordFile(Dialect::Device);
    share.deviceOut = Scratch::OutputPath(tag + "-device.xml");
    share.customerOut = Scratch::OutputPath(tag + "-customer.xml");
    return share;
}

// `calls` conversions, alternating the directions; false when one failed.
bool Work(const Share& share, int calls) {
    bool ok = true;
    for (int i = 0; i < calls; ++i) {
        const int result = i % 2 == 0
                               ? CustToZK8Ext(share.customer.c_str(), share.deviceOut.c_str(), share.work.c_str())
                               : ZK8ToCustExt(share.device.c_str(), share.customerOut.c_str(), share.work.c_str());
        ok = ok && result == 0;
    }
    return ok;
}

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// On one thread started for it, as the other side's threads are: a new
// thread has its own allocator arena and cold caches, which costs several
// percent of these calls by itself.
double OneAtATime(const std::vector<Share>& shares, int calls, bool& ok) {
    bool all = true;
    const auto start = Clock::now();
    std::thread one([&] {
        for (const Share& share : shares) all = Work(share, calls) && all;
    });
    one.join();
    const double seconds = Seconds(start);
    ok = ok && all;
    return seconds;
}

double Together(const std::vector<Share>& shares, int calls, bool& ok) {
    std::vector<char> results(shares.size(), 0);
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < shares.size(); ++t) {
        threads.emplace_back([&, t] { results[t] = Work(shares[t], calls) ? 1 : 0; });
    }
    for (std::thread& thread : threads) thread.join();
    const double seconds = Seconds(start);
    for (char result : results) ok = ok && result != 0;
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int OverlapMain(int threads, int calls, int runs) {
    std::vector<Share> shares;
    for (int t = 0; t < threads; ++t) shares.push_back(MakeShare(t));
    bool ok = true;
    Work(shares[0], 2);  // the first call builds the dictionary

    std::vector<double> alone, together, ratios;
    for (int run = 0; run < runs; ++run) {
        // Alternately first, so that a slow spell of the machine hits both.
        double a, b;
        if (run % 2 == 0) {
            a = OneAtATime(shares, calls, ok);
            b = Together(shares, calls, ok);
        } else {
            b = Together(shares, calls, ok);
            a = OneAtATime(shares, calls, ok);
        }
        alone.push_back(a);
        together.push_back(b);
        ratios.push_back(b / a);
    }
    const double total = static_cast<double>(threads) * calls;
    std::printf("Calls that overlap: %d threads x %d single-record calls (both directions, UTF-8, working\n"
                "directories of their own), against the same %d calls one at a time; medians of %d runs\n\n",
                threads, calls, threads * calls, runs);
    std::printf("%-22s %10s %12s\n", "", "wall_s", "calls_per_s");
    std::printf("%-22s %10.3f %12.0f\n", "one at a time", Median(alone), total / Median(alone));
    std::printf("%-22s %10.3f %12.0f\n", "threads at once", Median(together), total / Median(together));
    std::printf("\nwall time, threads at once / one at a time: %.3f (median of the runs' ratios)\n",
                Median(ratios));
    if (!ok) std::printf("A CALL FAILED: the figures do not count\n");
    std::error_code ignored;
    for (const Share& share : shares) std::filesystem::remove_all(share.work, ignored);
    return ok ? 0 : 1;
}

}  // namespace bench
