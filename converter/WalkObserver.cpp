#include "converter/WalkObserver.h"

void CWalkObserver::ObserveAllAttributes(const pugi::xml_node& node, const char* modeName,
                                         const CDictionary::NameMap& modes, bool modeWritten) const {
    bool first = true;
    for (pugi::xml_attribute attribute : node.attributes()) {
        const std::string name = attribute.name();
        if (first && modeWritten && name == modeName) {
            if (modes.count(attribute.value()) == 0) Observe(node, ConversionLoss::UnknownMode, attribute.value());
        } else {
            Observe(node, ConversionLoss::IgnoredAttribute, name.c_str());
        }
        first = false;
    }
}

void CWalkObserver::ObserveUnknownNode(const pugi::xml_node& node, const char* name, bool expected) const {
    const pugi::xml_node_type type = node.type();
    if (type == pugi::node_pcdata || type == pugi::node_cdata) {
        // Only an element's first child is its text.
        if (node.previous_sibling()) Observe(node, ConversionLoss::TextDropped, node.parent().name());
    } else if (type == pugi::node_element && !expected) {
        Observe(node, ConversionLoss::UnknownElement, name);
    }
}

bool CWalkObserver::InsideElementTagged(const pugi::xml_node& node, bool toDevice,
                                        bool (*test)(const std::string& tag)) const {
    if (test != m_insideTest || toDevice != m_insideToDevice) {
        m_insidePath.clear();
        m_insideAt.clear();
        m_insideTest = test;
        m_insideToDevice = toDevice;
    }
    // Up to the nearest ancestor already answered. What lies below it on the
    // path is no ancestor of node; a walk in document order never comes back
    // into it.
    std::vector<pugi::xml_node> unanswered;
    std::size_t kept = 0;
    for (pugi::xml_node ancestor = node.parent(); ancestor; ancestor = ancestor.parent()) {
        const auto found = m_insideAt.find(ancestor.internal_object());
        if (found != m_insideAt.end()) {
            kept = found->second + 1;
            break;
        }
        unanswered.push_back(ancestor);
    }
    while (m_insidePath.size() > kept) {
        m_insideAt.erase(m_insidePath.back().first);
        m_insidePath.pop_back();
    }
    bool inside = kept > 0 && m_insidePath.back().second;
    for (auto ancestor = unanswered.rbegin(); ancestor != unanswered.rend(); ++ancestor) {
        if (!inside) {
            const std::string name = ancestor->name();
            inside = test(toDevice ? m_dictionary.FindInternForExtern(name) : name);
        }
        m_insideAt.emplace(ancestor->internal_object(), m_insidePath.size());
        m_insidePath.emplace_back(ancestor->internal_object(), inside);
    }
    return inside;
}
