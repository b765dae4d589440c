// What a walk tells its observer (ConversionObserver.h) of what it drops or
// alters. Every check only looks: a walk converts the same with or without
// an observer, and without one nothing is checked.
#pragma once

#include <string>

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
                           bool modeWritten) const;
    // A node without a name in the dictionary: an element (unless it is
    // expected there) or a text that is not its element's first child.
    void ObserveUnknown(const pugi::xml_node& node, const char* name, bool expected) const;
    // Whether an ancestor of node has a tag that passes the test (customer
    // names are looked up first when toDevice).
    bool InsideElementTagged(const pugi::xml_node& node, bool toDevice, bool (*test)(const std::string& tag)) const;

private:
    const CDictionary& m_dictionary;
    ConversionObserver* m_observer;
};
