#include "support/ReferenceOutput.h"

CReferenceOutput::CReferenceOutput() {
    pugi::xml_node declaration = m_document.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-16");
    m_documentElement.ownNames = OutNames{"", "", this};
    m_documentElement.names = &m_documentElement.ownNames;
    m_documentElement.refs = 1;
    m_documentElement.node = m_document;
}

CReferenceOutput::~CReferenceOutput() = default;

OutNode CReferenceOutput::Handle(pugi::xml_node node, const char* parentName) {
    if (!node) return OutNode();
    Element* element = new Element;
    element->ownNames = OutNames{node.name(), parentName, this};
    element->names = &element->ownNames;
    element->node = node;
    return OutNode(element);
}

void CReferenceOutput::Released(OutElement* element) noexcept { delete static_cast<Element*>(element); }

OutNode CReferenceOutput::Document() { return OutNode(&m_documentElement); }

OutNode CReferenceOutput::AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) {
    if (!parent) return OutNode();
    pugi::xml_node node = static_cast<Element*>(parent.Element())->node.append_child(name);
    for (int i = 0; i < attributes.count; ++i) {
        node.append_attribute(attributes.names[i]).set_value(attributes.values[i]);
    }
    return Handle(node, parent.Name());
}

OutNode CReferenceOutput::AppendTextElement(const OutNode& parent, const char* name, const char* text, bool) {
    if (!parent) return OutNode();
    pugi::xml_node node = static_cast<Element*>(parent.Element())->node.append_child(name);
    node.append_child(pugi::node_pcdata).set_value(text);
    return Handle(node, parent.Name());
}

OutNode CReferenceOutput::FirstTopLevel(const char* name) { return Handle(m_document.child(name), ""); }

void CReferenceOutput::Save(const char* path) const {
    m_document.save_file(path, PUGIXML_TEXT(""), pugi::format_write_bom | pugi::format_raw | pugi::format_no_escapes,
                         pugi::encoding_utf16_le);
}
