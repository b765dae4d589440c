// What a walk tells its observer (ConversionObserver.h) of what it drops or
// alters. Every check only looks: a walk converts the same with or without
// an observer, and without one nothing is checked.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "converter/ConversionObserver.h"
#include "dictionary/Dictionary.h"

class CWalkObserver {
public:
    CWalkObserver(const CDictionary& dictionary, ConversionObserver* observer)
        : m_dictionary(dictionary), m_observer(observer) {}

    bool Watching() const { return m_observer != nullptr; }
    void Observe(const pugi::xml_node& node, ConversionLoss loss, const char* subject) const {
        if (m_observer != nullptr) m_observer->Report(node, loss, subject);
    }
    // The attributes not written: all but a first one named modeName when
    // the mode is written, which is checked against the known modes.
    void ObserveAttributes(const pugi::xml_node& node, const char* modeName, const CDictionary::NameMap& modes,
                           bool modeWritten) const {
        if (m_observer != nullptr) ObserveAllAttributes(node, modeName, modes, modeWritten);
    }
    // A node without a name in the dictionary: an element (unless it is
    // expected there) or a text that is not its element's first child.
    void ObserveUnknown(const pugi::xml_node& node, const char* name, bool expected) const {
        if (m_observer != nullptr) ObserveUnknownNode(node, name, expected);
    }
    // Whether an ancestor of node has a tag that passes the test (customer
    // names are looked up first when toDevice). Asked in document order, each
    // element's answer is found once.
    bool InsideElementTagged(const pugi::xml_node& node, bool toDevice, bool (*test)(const std::string& tag)) const;

private:
    void ObserveAllAttributes(const pugi::xml_node& node, const char* modeName, const CDictionary::NameMap& modes,
                              bool modeWritten) const;
    void ObserveUnknownNode(const pugi::xml_node& node, const char* name, bool expected) const;

    const CDictionary& m_dictionary;
    ConversionObserver* m_observer;
    // The answers for the ancestors of the node asked about last, from the
    // top down: each element, and whether it or one above it passes; and
    // where each of them stands in that path.
    mutable std::vector<std::pair<pugi::xml_node_struct*, bool>> m_insidePath;
    mutable std::unordered_map<pugi::xml_node_struct*, std::size_t> m_insideAt;
    mutable bool (*m_insideTest)(const std::string&) = nullptr;
    mutable bool m_insideToDevice = false;
};
