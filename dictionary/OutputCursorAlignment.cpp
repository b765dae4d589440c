// The parent alignment shared by both conversion walks: before a field is
// appended, the output cursor moves back to the output element that stands
// for the input element's parent, unwinding the stack of open elements.
#include "dictionary/XmlTlvConverter.h"
#include "exports/WorkingDirectory.h"
#include "runlog/ZkLogFile.h"

namespace {

const int kUnknownFieldCode = 31000;

void LogUnknownField(const std::string& parentName) {
    GetLogger().Log(g_moduleName, 3, kUnknownFieldCode, parentName, g_workingDirectory);
}

}  // namespace

void CXmlTlvConverter::AlignOutputCursor(const pugi::xml_node& inputElement, bool toDevice) {
    const std::string parentName = inputElement.parent().name();
    const std::string wanted =
        toDevice ? FindInternForExtern(parentName) : FindExternForIntern(parentName);
    if (!m_recordNode) return;

    std::string name = m_recordNode.name();
    std::string parentOfRecord = m_recordNode.parent().name();
    if (name == wanted) return;

    // With the stack already unwound there is nothing to go back to; the
    // cursor stays where it is.
    if (m_openNodes.empty()) return;
    m_recordNode = m_openNodes.back();
    name = m_recordNode.name();
    if (name == wanted) return;

    while (!m_openNodes.empty()) {
        const bool parentMatches = parentOfRecord == wanted;
        m_openNodes.pop_back();
        if (m_openNodes.empty()) {
            LogUnknownField(parentName);
            Observe(inputElement, ConversionLoss::ParentNotOpen, parentName);
            return;
        }
        m_recordNode = m_openNodes.back();
        if (parentMatches) return;
        parentOfRecord = m_recordNode.parent().name();
    }
}
