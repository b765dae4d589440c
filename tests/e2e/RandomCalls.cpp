#include "e2e/RandomCalls.h"

#include <random>

namespace {

class Generator {
public:
    explicit Generator(std::uint64_t seed) : m_random(seed) {}
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::string PickOf(const std::vector<std::string>& choices) {
        return choices[static_cast<std::size_t>(Pick(0, static_cast<int>(choices.size()) - 1))];
    }
    // Option ini files with and without each key, good and bad values.
    std::string IniText() {
        std::string text = PickOf({"[Advanced]\\r\\n", "[advanced]\\n", "; options\\r\\n[Advanced]\\r\\n"});
        for (const char* key : {"bCreateNilAttribute", "bCreateLengthAttribute", "bEnableDefaultNamespace"}) {
            if (Pick(0, 2) != 0) text += std::string(key) + "=" + PickOf({"0", "1", "1", "2", "x", " 1"}) + "\\r\\n";
        }
        return text;
    }

private:
    std::mt19937_64 m_random;
};

}  // namespace

std::string RandomCalls(std::uint64_t seed, const std::vector<std::string>& inputs) {
    Generator g(seed);
    // The plain exports work in the host module's folder.
    std::string steps = "host\n";
    bool appDataFails = false;
    const int calls = g.Pick(2, 20);
    for (int call = 0; call < calls; ++call) {
        for (int change = g.Pick(0, 3); change > 0; --change) {
            switch (g.Pick(0, 9)) {
                case 0: steps += "write opt.ini " + g.IniText() + "\n"; break;
                case 1: steps += "remove opt.ini\n"; break;
                case 2:
                    steps += "write " + g.PickOf({"SavedData", "sub/SavedData"}) + "/opt_bkp.ini " + g.IniText() +
                             "SavedIniFile=" + g.PickOf({"0", "1", "1"}) + "\\r\\n\n";
                    break;
                case 3: steps += "remove SavedData\n"; break;
                case 4:
                    // Logging settings in each folder they are looked for in.
                    steps += "write " + g.PickOf({".", "sub", "host", "ORVANE/Kelmora"}) +
                             "/Interface.ini [LogFiles]\\r\\nLoggingLevel=" + g.PickOf({"1", "2", "3", "3", "0", "x"}) +
                             "\\r\\n" + (g.Pick(0, 1) ? "RunLogSize=" + std::to_string(g.Pick(100, 3000)) + "\\r\\n" : "") +
                             "\n";
                    break;
                case 5: steps += "mkdir sub\n"; break;
                case 6: steps += "remove sub\n"; break;
                case 7: steps += "mkdir ORVANE/Kelmora\n"; break;
                case 8: steps += "remove ORVANE\n"; break;
                default:
                    // The application-data query fails only once a call has
                    // found the folder, so that no fallback leaves the folder.
                    if (call == 0) break;
                    appDataFails = !appDataFails;
                    steps += std::string("env ZK8_COMMON_APPDATA ") + (appDataFails ? "-" : ".") + "\n";
            }
        }
        const std::string input = g.Pick(0, 15) == 0 ? "missing.xml" : g.PickOf(inputs);
        const std::string output = g.PickOf({"out1.xml", "out2.xml", "sub/out.xml"});
        // A missing working directory sends the settings-driven calls to the
        // application-data folder, which may be missing too while its query
        // fails: the run log would then go to the root folder.
        std::vector<std::string> folders{".", ".", "sub"};
        if (!appDataFails) folders.insert(folders.end(), {"nowhere", "-"});
        const std::string folder = g.PickOf(folders);
        const std::string ini = g.PickOf({"opt.ini", "opt.ini", "missing.ini", "sub/opt.ini"});
        const std::string name = g.PickOf({"ZK8ToCust", "ZK8ToCustExt", "ZK8ToCustLibStd", "CustToZK8",
                                           "CustToZK8WithLengthAttribute", "CustToZK8Ext",
                                           "CustToZK8ExtWithLengthAttribute", "CustToZK8LibStd", "CreateTagList"});
        steps += "call * " + name;
        if (name == "CreateTagList") {
            steps += " tags.txt";
        } else if (name.find("LibStd") != std::string::npos) {
            steps += " " + input + " " + output + " " + folder + " " + ini;
        } else if (name.find("Ext") != std::string::npos) {
            // An empty working directory would put the run log in the root folder.
            steps += " " + input + " " + output + " " + (folder == "-" ? "." : folder);
        } else {
            steps += " " + input + " " + output;
        }
        steps += "\nnote\n";
    }
    return steps;
}
