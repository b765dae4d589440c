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

namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

}  // namespace

std::string ReferenceStatusBytes(const CStatusFile& status, const CDictionary& dictionary) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("status");
    if (status.BlockSeen()) {
        pugi::xml_node exceptions = root.append_child(dictionary.FindExternForIntern("exs").c_str());
        for (int i = 0; i <= status.LastIndex(); ++i) {
            pugi::xml_node exception = exceptions.append_child(dictionary.FindExternForIntern("exc").c_str());
            exception.append_child(dictionary.FindExternForIntern("eno").c_str()).text().set(status.Entry(i).number.c_str());
            exception.append_child(dictionary.FindExternForIntern("err").c_str()).text().set(status.Entry(i).text.c_str());
        }
    }
    StringWriter writer;
    document.save(writer, PUGIXML_TEXT("\t"), pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf16_le);
    // Texts are escaped, so " />" (as UTF-16LE units) only ever ends a tag.
    static const char kBlankSlash[] = {' ', 0, '/', 0, '>', 0};
    std::string out;
    for (std::size_t i = 0; i < writer.bytes.size(); i += 2) {
        if (writer.bytes.compare(i, 6, kBlankSlash, 6) == 0) continue;
        out.append(writer.bytes, i, 2);
    }
    return out;
}
