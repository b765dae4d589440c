#include "converter/WalkObserver.h"

void CWalkObserver::ObserveAttributes(const pugi::xml_node& node, const char* modeName,
                                      const CDictionary::NameMap& modes, bool modeWritten) const {
    if (m_observer == nullptr) return;
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

void CWalkObserver::ObserveUnknown(const pugi::xml_node& node, const char* name, bool expected) const {
    if (m_observer == nullptr) return;
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
    for (pugi::xml_node ancestor = node.parent(); ancestor; ancestor = ancestor.parent()) {
        const std::string name = ancestor.name();
        if (test(toDevice ? m_dictionary.FindInternForExtern(name) : name)) return true;
    }
    return false;
}
