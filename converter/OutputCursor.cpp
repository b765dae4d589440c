#include "converter/OutputCursor.h"

#include <cstring>

#include "runlog/ZkLogFile.h"

namespace {

constexpr std::size_t kSettleEvery = 64;
const int kUnknownFieldCode = 31000;

}  // namespace

void COutputCursor::Push(const OutNode& element) {
    m_open.push_back(element);
    ++m_pushesSinceRetry;
    if (m_open.size() >= m_settled + kSettleEvery) SettleSome();
}

// The entries pushed since the last time but the top, and, now and then,
// those that could not be settled before. Each look is paid for by a push.
void COutputCursor::SettleSome() {
    if (m_pushesSinceRetry >= m_unsettled.size()) {
        std::size_t kept = 0;
        for (std::size_t index : m_unsettled) {
            m_output.Settle(m_open[index]);
            if (m_open[index].Element() != nullptr) m_unsettled[kept++] = index;
        }
        m_unsettled.resize(kept);
        m_pushesSinceRetry = 0;
    }
    for (std::size_t index = m_settled; index + 1 < m_open.size(); ++index) {
        m_output.Settle(m_open[index]);
        if (m_open[index].Element() != nullptr) m_unsettled.push_back(index);
    }
    m_settled = m_open.size() - 1;
}

void COutputCursor::Align(const pugi::xml_node& inputElement) {
    // Names are compared in place, as the input document and the output hold them.
    const pugi::xml_node parent = inputElement.parent();
    if (!parent || parent != m_alignedParent) {
        const NameFacts* facts = m_dictionary.Find(parent.name());
        const char* found = facts == nullptr ? nullptr : m_toDevice ? facts->internOfExtern : facts->externOfIntern;
        m_alignedParent = parent;
        m_alignedWanted = found != nullptr ? found : "";
    }
    const char* wanted = m_alignedWanted;
    if (!record) return;

    auto same = [](const char* a, const char* b) { return std::strcmp(a, b) == 0; };
    if (same(record.Name(), wanted)) return;
    const char* parentOfRecord = record.ParentName();

    // With the stack already unwound there is nothing to go back to; the
    // record stays where it is.
    if (m_open.empty()) return;
    record = m_open.back();
    if (same(record.Name(), wanted)) return;

    while (!m_open.empty()) {
        const bool parentMatches = same(parentOfRecord, wanted);
        PopOpen();
        if (m_open.empty()) {
            if (m_log != nullptr) GetLogger().Log(g_moduleName, 3, kUnknownFieldCode, parent.name(), *m_log);
            m_observer.Observe(inputElement, ConversionLoss::ParentNotOpen, parent.name());
            return;
        }
        record = m_open.back();
        if (parentMatches) return;
        parentOfRecord = record.ParentName();
    }
}
