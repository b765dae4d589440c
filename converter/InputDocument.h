// The input of a conversion walk: a pugixml document and what the walks read
// of its nodes.
#pragma once

#include <pugixml.hpp>

class CInputBytes;

// Loads a conversion input with the walks' parse options: from its bytes in
// memory where they are held (parsed in place, handed over to the document),
// else from the file. A parse error is no failure (the tree read so far is
// converted); running out of memory is, and throws std::bad_alloc.
void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding,
               CInputBytes* bytes = nullptr);

// Calls visit(node) for every node below the document, in document order.
template <typename Visit>
void VisitNodes(const pugi::xml_document& input, Visit visit) {
    struct Walker : pugi::xml_tree_walker {
        Visit* visit;
        bool for_each(pugi::xml_node& node) override {
            (*visit)(node);
            return true;
        }
    } walker;
    walker.visit = &visit;
    const_cast<pugi::xml_document&>(input).traverse(walker);
}

// Text of an input node: the value of its first child, empty when it has no
// child or its first child is an element. Points into the input document.
inline const char* NodeTextValue(const pugi::xml_node& node) {
    const pugi::xml_node first = node.first_child();
    if (!first || first.type() == pugi::node_element) return "";
    return first.value();
}
