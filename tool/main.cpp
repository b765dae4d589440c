// zk8conv: the converter's exported functions from the command line, plus a
// check of what a conversion would lose and the conversion of many files.
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "engine/Engine.h"
#include "tool/CheckCommand.h"
#include "tool/CompleteOutput.h"
#include "tool/ConvertCommand.h"
#include "tool/ResultMeaning.h"
#include "tool/SchemaCommand.h"
#include "tool/StandardStreams.h"

namespace {

// "-" names standard input or output.
const char kStandardStream[] = "-";

int Fail(const std::string& message) {
    std::fprintf(stderr, "zk8conv: %s\n", message.c_str());
    return 1;
}

// `subject`: what a negative result is about (the input, or for the tag
// list its file), as the user named it; `file`: where that file is read
// (for "-", the copy of standard input).
int Report(const CompleteOutput& outcome, const std::string& subject, const std::string& file) {
    if (!outcome.failure.empty()) return Fail(outcome.failure);
    if (outcome.result < 0) {
        return Fail(subject + ": " + ResultMeaning(outcome.result) + " (" + std::to_string(outcome.result) +
                    "); " + InputRemedy(outcome.result, file));
    }
    return 0;
}

// Runs `write` on the output ("-": standard output, which a failed call
// leaves empty). `file`: the input the hints look at.
int WriteOutput(const std::string& output, const std::string& subject, const std::string& file,
                const std::optional<std::string>& statusFile,
                const std::function<engine::Result(const char* path)>& write) {
    return Report(WriteComplete(output, statusFile, write), subject, file);
}

struct ConversionArguments {
    std::string input;
    std::string output;
    std::string workdir;
    std::string ini;
    std::string status;
};

void AddConversionOptions(CLI::App* command, ConversionArguments& args) {
    command->add_option("INPUT", args.input, "file to convert; - reads standard input")->required();
    command->add_option("OUTPUT", args.output, "file to write; - writes standard output")->required();
    command->add_option("--workdir", args.workdir,
                        "working directory (run log, Interface.ini); default: the folder of "
                        "the loaded host module or of this program");
    command->add_option("--ini", args.ini,
                        "read the options from this ini file, section Advanced, or from its "
                        "saved copy below the working directory");
}

// Usage errors: a one-line hint on standard error and this exit status.
const int kUsageError = 2;

// The path to read for INPUT: itself, or for "-" (and a pipe or device,
// which the library does not read) that of a copy held in `copy`. "" when
// the copy failed, which is reported.
std::string InputPath(const std::string& input, std::optional<StandardInputCopy>& copy) {
    if (!StandardInputCopy::Needed(input)) return input;
    copy.emplace(input);
    if (copy->Failure().empty()) return copy->Path();
    Fail(copy->Failure());
    return "";
}

int Convert(bool toDevice, const ConversionArguments& args) {
    std::optional<std::string> statusFile;
    if (!toDevice) {
        if (args.output == kStandardStream && args.status.empty()) {
            std::fprintf(stderr, "zk8conv: with - as OUTPUT the status file needs a name of its own: add "
                                 "--status FILE (see zk8conv to-customer --help)\n");
            return kUsageError;
        }
        statusFile = args.status.empty() ? StatusFileOf(args.output) : args.status;
        if (SameDestination(*statusFile, args.output)) {
            std::fprintf(stderr, "zk8conv: --status names the output; give the status file a name of its own\n");
            return kUsageError;
        }
    }
    std::optional<StandardInputCopy> inputCopy;
    const std::string inputPath = InputPath(args.input, inputCopy);
    if (inputPath.empty()) return 1;
    const char* in = inputPath.c_str();
    const char* workdir = args.workdir.c_str();
    const char* ini = args.ini.c_str();
    const engine::Folder folder = !args.ini.empty()       ? engine::Folder::Settings
                                  : !args.workdir.empty() ? engine::Folder::Given
                                                          : engine::Folder::HostModule;
    const engine::Direction direction = toDevice ? engine::Direction::ToDevice : engine::Direction::ToCustomer;
    return WriteOutput(args.output, args.input, inputPath, statusFile, [&](const char* out) {
        return engine::Convert({direction, in, out, folder, workdir, ini});
    });
}

std::string VersionText() {
    return std::string("zk8conv ") + ZK8_VERSION + " (XML to XmlTlv Converter " + ZK8_VERSION + ", pugixml " +
           std::to_string(PUGIXML_VERSION / 1000) + "." + std::to_string(PUGIXML_VERSION % 1000 / 10) + ")";
}

// " SUBCOMMAND" when the error lies in a subcommand that was named, else "".
std::string FailedCommand(const CLI::App& app) {
    for (const CLI::App* command : app.get_subcommands()) return " " + command->get_name();
    return "";
}

// The word given where a subcommand was expected, when it names none: the
// first argument that is not an option (the program's own options take no
// values). "" when a subcommand was parsed or no such word was given.
std::string UnknownSubcommand(const CLI::App& app, int argc, char** argv) {
    if (!app.get_subcommands().empty()) return "";
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') return argv[i];
    }
    return "";
}

// "a, b, c or d": the names of the subcommands.
std::string SubcommandNames(CLI::App& app) {
    std::string names;
    const std::vector<CLI::App*> commands = app.get_subcommands([](CLI::App*) { return true; });
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (i > 0) names += i + 1 < commands.size() ? ", " : " or ";
        names += commands[i]->get_name();
    }
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"zk8conv: converts between customer XML and ZK8 device XML"};
    app.require_subcommand(1);

    std::string tagListPath;
    CLI::App* taglist = app.add_subcommand("taglist", "write the tag dictionary as a text list");
    taglist->add_option("OUTPUT", tagListPath, "file to write; - writes standard output")->required();

    ConversionArguments toDevice;
    CLI::App* toDeviceCommand =
        app.add_subcommand("to-device", "convert customer XML into device XML");
    AddConversionOptions(toDeviceCommand, toDevice);

    ConversionArguments toCustomer;
    CLI::App* toCustomerCommand = app.add_subcommand(
        "to-customer", "convert device XML into customer XML and a status file");
    AddConversionOptions(toCustomerCommand, toCustomer);
    toCustomerCommand->add_option("--status", toCustomer.status,
                                  "write the status file here instead of beside OUTPUT (OUTPUT_Status.xml); "
                                  "- writes standard output; needed when OUTPUT is -");

    std::string checkInput, checkDirection = "auto";
    bool checkJson = false, checkAll = false;
    CLI::App* check = app.add_subcommand(
        "check", "report all that converting INPUT would drop or alter (exit 0: nothing, "
                 "1: something, 2: unreadable input)");
    check->add_option("INPUT", checkInput, "file to check; - reads standard input")->required();
    check->add_option("--direction", checkDirection,
                      "to-device or to-customer; default: from the root element")
        ->check(CLI::IsMember({"auto", "to-device", "to-customer"}));
    check->add_flag("--all", checkAll, "list every finding, not each kind once with its count");
    check->add_flag("--json", checkJson, "machine-readable report: every finding, and the groups");

    std::string batchTo, outDir;
    std::vector<std::string> batchInputs;
    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    CLI::App* convert = app.add_subcommand(
        "convert", "convert many files, each in a worker process of its own");
    convert->add_option("--to", batchTo, "device or customer")
        ->required()
        ->check(CLI::IsMember({"device", "customer"}));
    convert->add_option("INPUT", batchInputs, "files to convert")->required();
    convert->add_option("--out-dir", outDir, "folder for the outputs and the run log")->required();
    convert->add_option("-j,--jobs", workers, "worker processes at a time")
        ->check(CLI::Range(1u, 256u));

    std::string schemaDialect, schemaPath = kStandardStream;
    CLI::App* schema = app.add_subcommand("schema", "write the XML Schema (XSD 1.0) of customer or device XML");
    schema->add_option("DIALECT", schemaDialect, "customer or device")
        ->required()
        ->check(CLI::IsMember({"customer", "device"}));
    schema->add_option("FILE", schemaPath, "file to write; - or none writes standard output");

    app.set_version_flag("--version", VersionText());
    taglist->footer("Examples:\n  zk8conv taglist tags.txt\n  zk8conv taglist - | grep article");
    toDeviceCommand->footer(
        "Examples:\n  zk8conv to-device catalogue.xml catalogue_device.xml --workdir /var/log/zk8\n"
        "  xsltproc shop.xsl export.xml | zk8conv to-device - - --workdir /var/log/zk8 > device.xml");
    toCustomerCommand->footer(
        "Examples:\n  zk8conv to-customer reply.xml reply_customer.xml --workdir /var/log/zk8\n"
        "  (also writes reply_customer.xml_Status.xml)\n"
        "  zk8conv to-customer - - --status status.xml < reply.xml | iconv -f UTF-16 -t UTF-8");
    check->footer("Examples:\n  zk8conv check order.xml\n  zk8conv check --all order.xml\n"
                  "  zk8conv check --json - < order.xml");
    convert->footer("Example:\n  zk8conv convert --to customer --out-dir replies/ -j 4 incoming/*.xml");
    schema->footer("Examples:\n  zk8conv schema customer customer.xsd\n"
                   "  xmllint --noout --schema customer.xsd export.xml");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& request) {  // --help, --version
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        const std::string unknown = UnknownSubcommand(app, argc, argv);
        if (!unknown.empty() || argc == 1) {
            std::fprintf(stderr, "zk8conv: %s; use %s (see zk8conv --help)\n",
                         unknown.empty() ? "no subcommand given" : (unknown + " is not a subcommand").c_str(),
                         SubcommandNames(app).c_str());
            return kUsageError;
        }
        std::fprintf(stderr, "zk8conv: %s (see zk8conv%s --help)\n", error.what(), FailedCommand(app).c_str());
        return kUsageError;
    }

    // The engine's calls catch their own failures; the check's walks throw.
    try {
        if (taglist->parsed()) {
            // The library's list shows the dictionary of the last conversion;
            // this program has run none, so it asks for the whole dictionary.
            return WriteOutput(tagListPath, tagListPath, tagListPath, std::nullopt,
                               [](const char* path) { return engine::WriteTagList(path, true); });
        }
        if (check->parsed()) {
            const CheckDirection direction = checkDirection == "to-device"     ? CheckDirection::ToDevice
                                             : checkDirection == "to-customer" ? CheckDirection::ToCustomer
                                                                               : CheckDirection::Auto;
            CheckOptions options;
            options.direction = direction;
            options.json = checkJson;
            options.every = checkAll;
            options.shownName = checkInput;
            std::optional<StandardInputCopy> inputCopy;
            const std::string inputPath = InputPath(checkInput, inputCopy);
            return inputPath.empty() ? 2 : RunCheck(inputPath, options);
        }
        if (convert->parsed()) {
            return RunBatchConvert(batchTo == "device" ? BatchDirection::ToDevice : BatchDirection::ToCustomer,
                                   batchInputs, outDir, workers);
        }
        if (schema->parsed()) return RunSchema(schemaDialect, schemaPath);
        const bool device = toDeviceCommand->parsed();
        return Convert(device, device ? toDevice : toCustomer);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zk8conv: out of memory; split the file or free memory\n");
        return 1;
    }
}
