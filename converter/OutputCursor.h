// Where a walk appends the fields it meets: the current record element, and
// the stack of open output elements it can go back to. Before a field is
// appended, Align moves the record back to the output element that stands
// for the input element's parent, unwinding the stack.
#pragma once

#include <vector>

#include <pugixml.hpp>

#include "converter/OutputTree.h"
#include "dictionary/Dictionary.h"

class COutputCursor {
public:
    // toDevice: input names are customer names, output names device tags.
    COutputCursor(const CDictionary& dictionary, bool toDevice) : m_dictionary(dictionary), m_toDevice(toDevice) {}

    void Push(const OutNode& element) { m_open.push_back(element); }
    void Pop() { m_open.pop_back(); }
    bool Empty() const { return m_open.empty(); }

    // False when the stack ran out before the parent was found: the parent
    // was never written, and the record stays where the unwinding left it.
    bool Align(const pugi::xml_node& inputElement);

    OutNode record;

private:
    const CDictionary& m_dictionary;
    const bool m_toDevice;
    std::vector<OutNode> m_open;
    // Fields come in runs under one parent: its lookup is kept.
    pugi::xml_node m_alignedParent;
    const char* m_alignedWanted = "";
};
