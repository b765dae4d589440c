#include "dictionary/XmlTlvConverter.h"

#include "dictionary/TransferHeader.h"

CXmlTlvConverter g_converter;

CXmlTlvConverter::CXmlTlvConverter() = default;

void CXmlTlvConverter::ResetForRun(ConversionDirection direction, bool option) {
    m_externToIntern.clear();
    m_internToExtern.clear();
    BuildDictionary();
    g_header.ClearHeader();

    m_headerSeen = false;
    m_headerNodeAdded = false;
    m_inErrorBlock = false;
    m_statusOpen = false;
    if (direction == ConversionDirection::ToCustomer) {
        m_statusSeen = false;
        m_errorNumberPending = false;
        m_lastErrorIndex = -1;
        m_currentRootTag.clear();
    } else {
        m_attributeOption = option;
    }

    pugi::xml_document& output =
        direction == ConversionDirection::ToCustomer ? m_customerDoc : m_deviceDoc;
    output.reset();
    m_listNode = pugi::xml_node();
    m_outputRoot = pugi::xml_node();
    m_recordNode = pugi::xml_node();
    m_fieldNode = pugi::xml_node();
}

void AppendUtf16Declaration(pugi::xml_document& document) {
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-16");
}

void SaveConversionOutput(const pugi::xml_document& document, const char* path) {
    document.save_file(path, PUGIXML_TEXT(""),
                       pugi::format_write_bom | pugi::format_raw | pugi::format_no_escapes,
                       pugi::encoding_utf16_le);
}

std::string NodeText(const pugi::xml_node& node) {
    pugi::xml_node first = node.first_child();
    if (!first || first.type() == pugi::node_element) return std::string();
    return first.value();
}

pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, const std::string& text) {
    pugi::xml_node element = parent.append_child(name);
    element.append_child(pugi::node_pcdata).set_value(text.c_str());
    return element;
}
