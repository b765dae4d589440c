// The parent alignment shared by both conversion walks: before a field is
// appended, the output cursor moves back to the output element that stands
// for the input element's parent, unwinding the stack of open elements.
#include <cstring>

#include "converter/XmlTlvConverter.h"
#include "exports/WorkingDirectory.h"
#include "runlog/ZkLogFile.h"

namespace {

const int kUnknownFieldCode = 31000;

void LogUnknownField(const std::string& parentName) {
    GetLogger().Log(g_moduleName, 3, kUnknownFieldCode, parentName, g_workingDirectory);
}

}  // namespace

void CXmlTlvConverter::AlignOutputCursor(const pugi::xml_node& inputElement, bool toDevice) {
    // Names are compared in place, as the documents hold them.
    const pugi::xml_node parent = inputElement.parent();
    const char* wanted = "";
    if (m_namesIndexed) {
        // Fields come in runs under one parent: its lookup is kept.
        if (parent && parent == m_alignedParent && toDevice == m_alignedToDevice) {
            wanted = m_alignedWanted;
        } else {
            const NameFacts* facts = m_names.Find(parent.name());
            const char* found = facts == nullptr ? nullptr : toDevice ? facts->internOfExtern : facts->externOfIntern;
            if (found != nullptr) wanted = found;
            m_alignedParent = parent;
            m_alignedToDevice = toDevice;
            m_alignedWanted = wanted;
        }
    } else {
        // Not yet reset for a run: straight from the maps.
        const auto& map = toDevice ? m_externToIntern : m_internToExtern;
        const auto found = map.find(parent.name());
        if (found != map.end()) wanted = found->second.c_str();
    }
    if (!m_recordNode) return;

    auto same = [](const char* a, const char* b) { return std::strcmp(a, b) == 0; };
    const char* name = m_recordNode.name();
    if (same(name, wanted)) return;
    const char* parentOfRecord = m_recordNode.parent().name();

    // With the stack already unwound there is nothing to go back to; the
    // cursor stays where it is.
    if (m_openNodes.empty()) return;
    m_recordNode = m_openNodes.back();
    name = m_recordNode.name();
    if (same(name, wanted)) return;

    while (!m_openNodes.empty()) {
        const bool parentMatches = same(parentOfRecord, wanted);
        PopOpenNode();
        if (m_openNodes.empty()) {
            // A repeated walk leaves the entries to the first.
            if (!m_repeatingWalk) LogUnknownField(parent.name());
            Observe(inputElement, ConversionLoss::ParentNotOpen, parent.name());
            return;
        }
        m_recordNode = m_openNodes.back();
        if (parentMatches) return;
        parentOfRecord = m_recordNode.parent().name();
    }
}
