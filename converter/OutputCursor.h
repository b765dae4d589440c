// Where a walk appends the fields it meets: the current record element, and
// the stack of open output elements it can go back to. Before a field is
// appended, Align moves the record back to the output element that stands
// for the input element's parent, unwinding the stack.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include <pugixml.hpp>

#include "converter/OutputTree.h"
#include "dictionary/Dictionary.h"

class COutputCursor {
public:
    // toDevice: input names are customer names, output names device tags.
    COutputCursor(const CDictionary& dictionary, COutputTree& output, bool toDevice)
        : m_dictionary(dictionary), m_output(output), m_toDevice(toDevice) {}

    void Push(const OutNode& element);
    void Pop() { PopOpen(); }
    bool Empty() const { return m_open.empty(); }

    // False when the stack ran out before the parent was found: the parent
    // was never written, and the record stays where the unwinding left it.
    bool Align(const pugi::xml_node& inputElement);

    OutNode record;

private:
    void PopOpen() {
        m_open.pop_back();
        if (m_settled > m_open.size()) m_settled = m_open.size();
    }

    const CDictionary& m_dictionary;
    COutputTree& m_output;
    const bool m_toDevice;
    // The stack grows by a record or so at a time and is seldom unwound, so
    // its handles are settled every so often: those of elements that are
    // written and closed then hold no memory of the output's. Below
    // m_settled, all are settled but those listed in m_unsettled (elements
    // that were still pending or open), which are tried again.
    void SettleSome();
    std::deque<OutNode> m_open;
    std::size_t m_settled = 0;
    std::vector<std::size_t> m_unsettled;
    // Fields come in runs under one parent: its lookup is kept.
    pugi::xml_node m_alignedParent;
    const char* m_alignedWanted = "";
};
