#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/WorkingDirectory.h"
#include "engine/XmlTlvConverter.h"
#include "support/TempFolder.h"

namespace fuzz {

namespace {

struct Scratch {
    Scratch() {
        std::error_code error;
        const bool shm = std::filesystem::is_directory("/dev/shm", error);
        std::string pattern = ((shm ? "/dev/shm" : std::filesystem::temp_directory_path()) / "zk8fuzz.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Fail("no scratch folder");
        path = pattern;
        std::filesystem::create_directories(path + "/ORVANE/Kelmora");
        setenv("ZK8_COMMON_APPDATA", path.c_str(), 1);
        WriteFile(path + "/Interface.ini", "[LogFiles]\nLoggingLevel=3\nRunLogSize=65536\n");
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

}  // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchFolder() + "/" + name;
    WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
    return path;
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

std::string Serialised(const pugi::xml_document& document) {
    StringWriter writer;
    document.save(writer, PUGIXML_TEXT(""), pugi::format_raw, pugi::encoding_utf8);
    return writer.text;
}

std::string ConvertTwice(Direction direction, const std::uint8_t* data, std::size_t size, bool compare) {
    const std::string input = WriteScratchFile("in.xml", data, size), output = ScratchFolder() + "/out.xml";
    // A session of its own: what one input leaves (the operation class, the
    // error texts) does not reach the next.
    CSession session;
    SetWorkingDirectory(session, ScratchFolder().c_str());
    session.defaultNamespace = (size & 2) != 0;
    std::string written[2], status[2];
    for (int run = 0; run < (compare ? 2 : 1); ++run) {
        if (direction == Direction::ToDevice) {
            // The operation class lives on by design.
            session.operationClass = -1;
            CXmlTlvConverter(session).ConvertCustToZK8(input.c_str(), output.c_str());
        } else {
            CXmlTlvConverter(session).ConvertZK8ToCust(input.c_str(), output.c_str(), (size & 1) != 0);
            status[run] = ReadFile(output + "_Status.xml");
        }
        written[run] = ReadFile(output);
        if (written[run].compare(0, 2, "\xFF\xFE") != 0) Fail("output without byte-order mark");
    }
    if (compare && (written[0] != written[1] || status[0] != status[1])) Fail("a second run writes other files");
    return direction == Direction::ToDevice ? written[0] : status[0];
}

}  // namespace fuzz
