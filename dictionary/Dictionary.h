// The name dictionary: every customer name with its device tag, the mode
// words with their codes, the record and list names, and the flags of the
// tag table. Built once from the built-in table, read-only after: every
// build of the same table gives the same dictionary.
#pragma once

#include <map>
#include <set>
#include <string>

#include <pugixml.hpp>

#include "dictionary/NameIndex.h"
#include "output/OutputFile.h"

class CDictionary {
public:
    using NameMap = std::map<std::string, std::string>;
    using NameSet = std::set<std::string>;

    // The dictionary of every conversion, built on first use. A build that
    // runs out of memory throws std::bad_alloc, and the next use builds again.
    static const CDictionary& Shared();

    // Everything the dictionary holds for a name, with one probe.
    const NameFacts* Find(const char* name) const { return m_names.Find(name); }
    std::string FindInternForExtern(const std::string& name) const;
    std::string FindExternForIntern(const std::string& tag) const;
    bool IsListName(const std::string& name) const;
    // The numbered text list: 0 written, -1 the file could not be opened.
    int WriteTagList(const char* path, UnwrittenFiles* unwritten) const;

    NameMap m_internToExtern;
    NameMap m_externToIntern;
    NameMap m_modeInternToExtern;
    NameMap m_modeExternToIntern;
    NameMap m_rootInternToExtern;
    NameMap m_rootExternToIntern;
    NameMap m_rootExternToListName;
    NameSet m_deviceNoTags;
    NameSet m_deviceNoOptionalTags;
    NameSet m_turnoverRoots;
    NameSet m_zkOnlyTags;
    NameSet m_norvaOnlyTags;
    NameSet m_sharedTags;
    NameSet m_departmentNoTags;
    NameSet m_nillableTags;

private:
    CDictionary();
    void ReadTagRecord(const pugi::xml_node& element, bool isRoot);

    CNameIndex m_names;
};
