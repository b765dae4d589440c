// Shared set-up of the benchmark program: the scratch folder, the generated
// inputs, and the two sides of every comparison (the library's conversion and
// the pugixml floor).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "bench/InputGenerator.h"

namespace bench {

enum class Direction { ToDevice, ToCustomer };

const char* DirectionName(Direction direction);
Dialect InputDialect(Direction direction);

// Everything lives below one scratch folder (default /tmp/zk8bench): inputs,
// outputs, the working directory with Runlog.log and Interface.ini, and the
// application-data folder that receives Temp.xml.
class Scratch {
public:
    static void Init(const std::string& root);
    static const std::string& Root();
    static std::string WorkDir();      // working directory handed to the exports
    static std::string InputPath(const std::string& name);
    static std::string OutputPath(const std::string& name);
    // Writes the generated input once per name; returns its path.
    static std::string Input(const std::string& name, const InputRecipe& recipe);
    static void SetLoggingLevel(int level);
    // Removes the folders above, and the scratch folder when that leaves it empty.
    static void RemoveAll();
};

// One conversion through the exported functions, as a host calls them.
int Convert(Direction direction, const std::string& input, const std::string& output);

// The floor of a conversion: what pugixml needs to load the input with the
// conversion's parse options, and to save a document as UTF-16 with the
// conversion's format options.
void FloorLoad(const std::string& input);
void FloorSave(const pugi::xml_document& document, const std::string& output);
// A document of the size of a conversion output: that output, loaded.
void LoadOutput(pugi::xml_document& document, const std::string& output);

std::size_t FileSize(const std::string& path);

// A run of this program in a fresh process (the program re-executes itself
// with the given arguments), with the figures it reports.
struct ChildResult {
    bool ok = false;
    std::vector<double> values;  // the figures the child reports (seconds first)
};
ChildResult RunChild(const std::string& self, const std::vector<std::string>& arguments);

// Resident and peak resident memory of this process, in kilobytes.
long CurrentRssKilobytes();
long PeakRssKilobytes();

// Entry of the child side; returns the process exit code.
int ChildMain(int argc, char** argv);

// Figure 4: peak memory against input size and time per MB, for the given
// input sizes in MB and shapes of input.
int MemoryMain(const std::string& self, const std::vector<double>& sizes, const std::vector<Shape>& shapes);

// The goals against the floors (see MemoryProfile.cpp): large files of the
// given sizes, then (with `singles`) single-record calls; `runs` runs each.
int GoalsMain(const std::string& self, const std::vector<double>& sizes, bool singles, int runs);

// The scaling benchmark: each dimension of an input doubled `doublings`
// times from startMegabytes, both directions, through the export and through
// `tool check`; the table goes to standard output, the points to dataPath
// (for scripts/plot-scaling.sh); only the dimensions named in `only`, when
// it is not empty (a plot needs them all).
int ScalingMain(const std::string& self, const std::string& tool, double startMegabytes, int doublings, int runs,
                const std::string& dataPath, const std::vector<std::string>& only);

// Figure 5: `threads` threads of `calls` small conversions each at once,
// against the same calls one at a time; `runs` runs.
int OverlapMain(int threads, int calls, int runs);

}  // namespace bench
