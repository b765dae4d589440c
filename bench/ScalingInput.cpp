#include "bench/ScalingInput.h"

namespace bench {

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Appends unit until the text holds about `bytes` more.
void Repeat(std::string& text, const std::string& unit, std::size_t bytes) {
    for (std::size_t n = (bytes + unit.size() - 1) / unit.size(); n > 0; --n) text += unit;
}

// One record whose start tag is `start`, holding a field and then `body`.
std::string OneRecord(bool customer, const std::string& start, const std::string& body) {
    if (customer) {
        return std::string(kDeclaration) + "<scaledata><articles>" + start + "<plu_no>1</plu_no>" + body +
               "</article></articles></scaledata>\n";
    }
    return std::string(kDeclaration) + "<dat><_/>" + start + "<plu>1</plu>" + body + "</art><_/></dat>\n";
}

}  // namespace

const char* DimensionName(Dimension dimension) {
    switch (dimension) {
        case Dimension::Size: return "size";
        case Dimension::Records: return "records";
        case Dimension::Depth: return "depth";
        case Dimension::NameLength: return "name-length";
        case Dimension::TextLength: return "text-length";
        case Dimension::AttributeLength: return "attribute-length";
        case Dimension::Attributes: return "attributes";
    }
    return "?";
}

std::string ScalingInput(Dialect dialect, Dimension dimension, std::size_t targetBytes) {
    const bool customer = dialect == Dialect::Customer;
    const std::string plainStart = customer ? "<article mode=\"write\">" : "<art m=\"w\">";
    std::string body;
    switch (dimension) {
        case Dimension::Size: {
            InputRecipe recipe;
            recipe.dialect = dialect;
            recipe.targetBytes = targetBytes;
            return GenerateUtf8(recipe);
        }
        case Dimension::Records: {
            std::string text = std::string(kDeclaration) + (customer ? "<scaledata><articles>" : "<dat>");
            Repeat(text,
                   customer ? "<article mode=\"write\"><plu_no>12</plu_no><name>Apple</name></article>"
                            : "<_/><art m=\"w\"><plu>12</plu><nam>Apple</nam></art>",
                   targetBytes);
            return text + (customer ? "</articles></scaledata>\n" : "<_/></dat>\n");
        }
        case Dimension::Depth: {
            // Down to the deepest level, then a field after every nested child
            // on the way back up.
            const std::string down = customer ? "<ingredients><nutrition>" : "<ing><nut>";
            const std::string up = customer ? "<value>1</value></nutrition><ingredients_no>2</ingredients_no></ingredients>"
                                            : "<val>1</val></nut><inn>2</inn></ing>";
            const std::size_t levels = targetBytes / (down.size() + up.size()) + 1;
            body.reserve(levels * (down.size() + up.size()));
            for (std::size_t i = 0; i < levels; ++i) body += down;
            for (std::size_t i = 0; i < levels; ++i) body += up;
            return OneRecord(customer, plainStart, body);
        }
        case Dimension::NameLength: {
            std::string name;
            Repeat(name, "unknown_field_", targetBytes / 2);
            return OneRecord(customer, plainStart, "<" + name + ">1</" + name + ">");
        }
        case Dimension::TextLength: {
            std::string text;
            Repeat(text, "Gekühlt lagern bei max. 7 °C; ", targetBytes);
            return OneRecord(customer, plainStart, (customer ? "<name>" : "<nam>") + text + (customer ? "</name>" : "</nam>"));
        }
        case Dimension::AttributeLength: {
            std::string value;
            Repeat(value, "write", targetBytes);
            return OneRecord(customer, (customer ? "<article mode=\"" : "<art m=\"") + value + "\">", "");
        }
        case Dimension::Attributes: {
            std::string start = customer ? "<article mode=\"write\"" : "<art m=\"w\"";
            const std::size_t count = targetBytes / 12 + 1;
            for (std::size_t i = 0; i < count; ++i) start += " a" + std::to_string(i) + "=\"1\"";
            return OneRecord(customer, start + ">", "");
        }
    }
    return std::string();
}

}  // namespace bench
