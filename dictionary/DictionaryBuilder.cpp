// Builds the dictionary maps and sets from the tag table.
#include <cstring>
#include <new>

#include "dictionary/Dictionary.h"
#include "dictionary/TagTable.h"

namespace {

constexpr std::size_t kSnippetBufferSize = 1028;
const char kTurnoverGroup[] = "TAF and Turnovers";

bool IsZkOnly(const std::string& zk, const std::string&) { return zk == "1"; }
bool IsShared(const std::string& zk, const std::string& norva) {
    return (zk == "1" || zk == "2") && norva == "1";
}
bool IsNorvaOnly(const std::string& zk, const std::string& norva) {
    return norva == "1" && zk != "1" && zk != "2";
}

}  // namespace

const CDictionary& CDictionary::Shared() {
    static const CDictionary dictionary;
    return dictionary;
}

CDictionary::CDictionary() {
    pugi::xml_document snippetDoc;
    char buffer[kSnippetBufferSize];
    const int count = GetTagCount();
    for (int index = 0; index < count; ++index) {
        int id = 0;
        const std::string snippet = GetTagEntry(index, id);
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, snippet.c_str(), std::min(snippet.size(), sizeof buffer - 1));
        // A snippet that does not parse simply contributes nothing; one that
        // pugixml could not allocate would leave the dictionary without its
        // names (pugixml says so by the status alone).
        if (snippetDoc.load_buffer(buffer, sizeof buffer).status == pugi::status_out_of_memory) {
            throw std::bad_alloc();
        }

        if (id < 1000) {
            ReadTagRecord(snippetDoc.child("externRootElement"), true);
        } else if (id < 2000) {
            ReadTagRecord(snippetDoc.child("command"), false);
        } else if (id > 2000) {
            std::string externName;
            for (pugi::xml_attribute a : snippetDoc.child("operationMode").attributes()) {
                if (std::strcmp(a.name(), "extern") == 0) {
                    externName = a.value();
                } else if (std::strcmp(a.name(), "intern") == 0) {
                    m_modeExternToIntern.emplace(externName, a.value());
                    m_modeInternToExtern.emplace(a.value(), externName);
                }
            }
        }
    }
    m_names.Build(*this);
}

void CDictionary::ReadTagRecord(const pugi::xml_node& element, bool isRoot) {
    std::string name, group, externName, internTag, typeZk, typeNorva;
    for (pugi::xml_attribute a : element.attributes()) {
        const char* attribute = a.name();
        const char* value = a.value();
        if (std::strcmp(attribute, "name") == 0) {
            name = value;
        } else if (std::strcmp(attribute, "group") == 0) {
            group = value;
        } else if (std::strcmp(attribute, "extern") == 0) {
            externName = value;
            if (isRoot) m_rootExternToListName.emplace(externName, name);
            if (group == kTurnoverGroup) m_turnoverRoots.insert(externName);
        } else if (std::strcmp(attribute, "intern") == 0) {
            internTag = value;
            m_externToIntern.emplace(externName, internTag);
            m_internToExtern.emplace(internTag, externName);
            if (isRoot) {
                m_rootExternToIntern.emplace(externName, internTag);
                m_rootInternToExtern.emplace(internTag, externName);
            }
        } else if (std::strcmp(attribute, "use_device_no_optional") == 0) {
            if (std::strcmp(value, "1") == 0) m_deviceNoOptionalTags.insert(externName);
        } else if (std::strcmp(attribute, "use_device_no") == 0) {
            if (std::strcmp(value, "1") == 0) m_deviceNoTags.insert(externName);
        } else if (std::strcmp(attribute, "use_department_no") == 0) {
            if (std::strcmp(value, "1") == 0) m_departmentNoTags.insert(externName);
        } else if (std::strcmp(attribute, "use_nillable") == 0) {
            if (std::strcmp(value, "1") == 0) m_nillableTags.insert(externName);
        } else if (std::strcmp(attribute, "type_zk") == 0) {
            typeZk = value;
        } else if (std::strcmp(attribute, "type_norva") == 0) {
            typeNorva = value;
        }
    }
    if (IsZkOnly(typeZk, typeNorva)) m_zkOnlyTags.insert(externName);
    if (IsShared(typeZk, typeNorva)) m_sharedTags.insert(externName);
    if (IsNorvaOnly(typeZk, typeNorva)) m_norvaOnlyTags.insert(externName);
}

std::string CDictionary::FindInternForExtern(const std::string& name) const {
    auto found = m_externToIntern.find(name);
    return found == m_externToIntern.end() ? std::string() : found->second;
}

std::string CDictionary::FindExternForIntern(const std::string& tag) const {
    auto found = m_internToExtern.find(tag);
    return found == m_internToExtern.end() ? std::string() : found->second;
}

bool CDictionary::IsListName(const std::string& name) const {
    for (const auto& entry : m_rootExternToListName) {
        if (entry.second == name) return true;
    }
    return false;
}
