// zk8conv: the converter's exported functions from the command line.
#include <cstdio>
#include <map>
#include <string>

#include <CLI/CLI.hpp>

#include "dictionary/XmlTlvConverter.h"
#include "zk8_xml_conv.h"

namespace {

const char* ResultMeaning(int result) {
    static const std::map<int, const char*> meanings = {
        {-1, "input file cannot be opened"},
        {-90, "the saved ini file could not be copied to a temporary file"},
        {-91, "the saved ini file does not exist"},
        {-92, "no temporary copy of the saved ini file could be created"},
        {-93, "the XML declaration names UTF-8 or UTF-16 without quotes"},
        {-94, "reading the input failed"},
        {-95, "Temp.xml or the input could not be opened for the UTF-8 rewrite"},
        {-98, "input is neither UTF-8 nor UTF-16"},
        {-99, "input is empty or cannot be read"},
    };
    auto found = meanings.find(result);
    return found == meanings.end() ? "conversion failed" : found->second;
}

int Report(int result) {
    if (result >= 0) return 0;
    std::fprintf(stderr, "zk8conv: %s (%d)\n", ResultMeaning(result), result);
    return 1;
}

struct ConversionArguments {
    std::string input;
    std::string output;
    std::string workdir;
    std::string ini;
};

void AddConversionOptions(CLI::App* command, ConversionArguments& args) {
    command->add_option("INPUT", args.input, "file to convert")->required();
    command->add_option("OUTPUT", args.output, "file to write")->required();
    command->add_option("--workdir", args.workdir,
                        "working directory (run log, Interface.ini); default: the folder of "
                        "the loaded host module or of this program");
    command->add_option("--ini", args.ini,
                        "read the options from this ini file, section Advanced, or from its "
                        "saved copy below the working directory");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"zk8conv: converts between customer XML and ZK8 device XML"};
    app.require_subcommand(1);

    std::string tagListPath;
    CLI::App* taglist = app.add_subcommand("taglist", "write the tag dictionary as a text list");
    taglist->add_option("OUTPUT", tagListPath, "file to write")->required();

    ConversionArguments toDevice;
    CLI::App* toDeviceCommand =
        app.add_subcommand("to-device", "convert customer XML into device XML");
    AddConversionOptions(toDeviceCommand, toDevice);

    ConversionArguments toCustomer;
    CLI::App* toCustomerCommand = app.add_subcommand(
        "to-customer", "convert device XML into customer XML and a status file");
    AddConversionOptions(toCustomerCommand, toCustomer);

    CLI11_PARSE(app, argc, argv);

    if (taglist->parsed()) {
        // The library's list shows the dictionary of the last conversion;
        // this program has run none, so it builds the dictionary first.
        g_converter.BuildDictionary();
        if (CreateTagList(tagListPath.c_str()) != 0) {
            std::fprintf(stderr, "zk8conv: cannot write %s\n", tagListPath.c_str());
            return 1;
        }
        return 0;
    }

    const bool device = toDeviceCommand->parsed();
    const ConversionArguments& args = device ? toDevice : toCustomer;
    const char* in = args.input.c_str();
    const char* out = args.output.c_str();
    int result;
    if (!args.ini.empty()) {
        result = device ? CustToZK8LibStd(in, out, args.workdir.c_str(), args.ini.c_str())
                        : ZK8ToCustLibStd(in, out, args.workdir.c_str(), args.ini.c_str());
    } else if (!args.workdir.empty()) {
        result = device ? CustToZK8Ext(in, out, args.workdir.c_str())
                        : ZK8ToCustExt(in, out, args.workdir.c_str());
    } else {
        result = device ? CustToZK8(in, out) : ZK8ToCust(in, out);
    }
    return Report(result);
}
