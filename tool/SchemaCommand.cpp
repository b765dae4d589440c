#include "tool/SchemaCommand.h"

#include <cerrno>
#include <cstdio>
#include <optional>

#include "dictionary/Dictionary.h"
#include "schema/SchemaWriter.h"
#include "tool/CompleteOutput.h"

namespace {

engine::Result WriteText(const char* path, const std::string& text) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return {1, {{path, errno}}};
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written) return {1, {{path, written ? errno : error}}};
    return {0, {}};
}

}  // namespace

int RunSchema(const std::string& dialect, const std::string& output) {
    const std::string text = WriteSchema(
        CDictionary::Shared(), dialect == "device" ? SchemaDialect::Device : SchemaDialect::Customer, ZK8_VERSION);
    const CompleteOutput outcome =
        WriteComplete(output, std::nullopt, [&text](const char* path) { return WriteText(path, text); });
    if (outcome.failure.empty()) return 0;
    std::fprintf(stderr, "zk8conv: %s\n", outcome.failure.c_str());
    return 1;
}
