// The oracle of the library's output: the same walks appending to a whole
// pugixml document, saved at the end as UTF-16LE with byte-order mark, raw
// and unescaped. The library's streamed output must write these bytes.
#pragma once

#include <pugixml.hpp>

#include <string>

#include "dictionary/Dictionary.h"
#include "output/OutputTree.h"
#include "to_customer/StatusFile.h"

// The status file's bytes as pugixml's indented save gives them (with no
// blank before the slash of an empty-element tag).
std::string ReferenceStatusBytes(const CStatusFile& status, const CDictionary& dictionary);

class CReferenceOutput : public COutputTree {
public:
    CReferenceOutput();
    ~CReferenceOutput() override;

    OutNode Document() override;
    OutNode AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) override;
    OutNode AppendTextElement(const OutNode& parent, const char* name, const char* text, bool lasting) override;
    OutNode FirstTopLevel(const char* name) override;
    void Save(const char* path) const;

private:
    struct Element : OutElement {
        OutNames ownNames;
        pugi::xml_node node;
    };
    OutNode Handle(pugi::xml_node node, const char* parentName);
    void Released(OutElement* element) noexcept override;

    pugi::xml_document m_document;
    Element m_documentElement;
};
