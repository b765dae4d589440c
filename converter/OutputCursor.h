// Where a walk appends the fields it meets: the current record element, and
// the stack of open output elements it can go back to. Before a field is
// appended, Align moves the record back to the output element that stands
// for the input element's parent, unwinding the stack.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include <pugixml.hpp>

#include <string>

#include "output/OutputTree.h"
#include "converter/WalkObserver.h"
#include "dictionary/Dictionary.h"
#include "runlog/ZkLogFile.h"

class COutputCursor {
public:
    // toDevice: input names are customer names, output names device tags. A
    // field whose parent was not written is logged (31000) into the run log
    // `log` names (none when it is null: a check) and told to the observer.
    COutputCursor(const CDictionary& dictionary, COutputTree& output, bool toDevice, const LogTarget* log,
                  const CWalkObserver& observer)
        : m_dictionary(dictionary), m_output(output), m_toDevice(toDevice), m_log(log),
          m_observer(observer) {}

    void Push(const OutNode& element);
    void Pop() { PopOpen(); }
    bool Empty() const { return m_open.empty(); }

    // When the stack runs out before the parent is found, the parent was
    // never written: that is logged, and the record stays where the
    // unwinding left it.
    void Align(const pugi::xml_node& inputElement);

    OutNode record;

private:
    void PopOpen() {
        m_open.pop_back();
        if (m_settled > m_open.size()) m_settled = m_open.size();
        while (!m_unsettled.empty() && m_unsettled.back() >= m_open.size()) m_unsettled.pop_back();
    }

    const CDictionary& m_dictionary;
    COutputTree& m_output;
    const bool m_toDevice;
    const LogTarget* const m_log;
    const CWalkObserver& m_observer;
    // The stack grows by a record or so at a time and is seldom unwound, so
    // its handles are settled every so often: those of elements that are
    // written and closed then hold no memory of the output's. Below
    // m_settled, all are settled but those listed in m_unsettled (elements
    // that were still pending or open, in ascending order). Those are tried
    // again only after as many pushes as there are of them, so that a deep
    // path of open elements costs a constant per push, not its depth.
    void SettleSome();
    std::deque<OutNode> m_open;
    std::size_t m_settled = 0;
    std::vector<std::size_t> m_unsettled;
    std::size_t m_pushesSinceRetry = 0;
    // Fields come in runs under one parent: its lookup is kept.
    pugi::xml_node m_alignedParent;
    const char* m_alignedWanted = "";
};
