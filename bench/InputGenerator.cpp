#include "bench/InputGenerator.h"

#include <cstdio>
#include <cstring>

namespace bench {

namespace {

// Small deterministic generator; the same seed always yields the same file.
class Random {
public:
    explicit Random(std::uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    std::uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // Uniform in [low, high].
    int Between(int low, int high) {
        return low + static_cast<int>(Next() % static_cast<std::uint32_t>(high - low + 1));
    }
    bool Percent(int percent) { return Between(1, 100) <= percent; }
    template <std::size_t N>
    const char* Pick(const char* const (&items)[N]) {
        return items[Next() % N];
    }

private:
    std::uint32_t m_state;
};

const char* const kProductNames[] = {
    "Äpfel Braeburn",      "Bio-Möhren 1 kg",     "Käse Gouda jung",  "Brötchen hell",
    "Rinderhüfte",         "Obst &amp; Gemüse",   "Lachsfilet",       "Weißwurst",
    "Tomaten Strauch",     "Schinken gekocht",    "Joghurt Natur",    "Bergkäse 12 Monate",
    "Hähnchenbrust",       "Kartoffeln festk.",   "Zucchini",         "Grünkohl",
};
const char* const kTermLines[] = {
    "Enthält Gluten",        "Kann Spuren von Nüssen enthalten", "Gekühlt lagern bei max. 7 °C",
    "Allergene: Milch, Ei",  "Herkunft: Deutschland",             "Preis je 100 g: 1,29 €",
};
const char* const kDepartments[] = {"Obst", "Gemüse", "Käse", "Fleisch", "Backwaren", "Fisch"};
const char* const kCustomerModes[] = {"write", "write", "write", "write", "delete", "write"};
const char* const kDeviceModes[] = {"w", "w", "w", "w", "d", "w"};
const char* const kTransferKinds[][3] = {
    // list, record, device tag
    {"labels", "label", "lbl"},
    {"images", "image", "img"},
    {"receipts", "receipt", "rcp"},
};

// Builds the text with a simple indentation, the way exporting systems write
// their files.
class Writer {
public:
    explicit Writer(std::string& out, bool indent) : m_out(out), m_indent(indent) {}

    void Open(const char* name, const char* attribute = nullptr, const char* value = nullptr) {
        Indent();
        m_out += '<';
        m_out += name;
        if (attribute != nullptr) {
            m_out += ' ';
            m_out += attribute;
            m_out += "=\"";
            m_out += value;
            m_out += '"';
        }
        m_out += '>';
        ++m_depth;
    }
    void Close(const char* name) {
        --m_depth;
        Indent();
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    void Empty(const char* name, const char* attribute = nullptr, const char* value = nullptr) {
        Indent();
        m_out += '<';
        m_out += name;
        if (attribute != nullptr) {
            m_out += ' ';
            m_out += attribute;
            m_out += "=\"";
            m_out += value;
            m_out += '"';
        }
        m_out += "/>";
    }
    void Field(const char* name, const std::string& text) {
        Indent();
        m_out += '<';
        m_out += name;
        m_out += '>';
        m_out += text;
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    void Field(const char* name, long number) { Field(name, std::to_string(number)); }
    // Device files put every record on a line of its own.
    void NewLine() { m_out += '\n'; }

private:
    void Indent() {
        if (!m_indent) return;
        m_out += '\n';
        m_out.append(static_cast<std::size_t>(m_depth) * 2, ' ');
    }

    std::string& m_out;
    bool m_indent;
    int m_depth = 0;
};

std::string Price(Random& random) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", random.Between(19, 4999));
    return text;
}

// ---- Customer files --------------------------------------------------------

void CustomerArticle(Writer& w, Random& random, long plu, const char* mode) {
    w.Open("article", "mode", mode);
    w.Field("plu_no", plu);
    if (std::strcmp(mode, "delete") != 0) {
        w.Field("name", random.Pick(kProductNames));
        w.Field("department_no", random.Between(1, 12));
        w.Field("price1", Price(random));
        w.Field("text_no", random.Between(1, 400));
        if (random.Percent(40)) w.Field("barcode_no", 4000000000000L + plu);
        if (random.Percent(30)) {
            w.Open("ingredients");
            for (int i = random.Between(1, 3); i > 0; --i) w.Field("ingredients_no", random.Between(1, 900));
            w.Close("ingredients");
        }
        if (random.Percent(20)) {
            w.Open("nutrition");
            w.Field("value", random.Between(1, 999));
            w.Field("unit", "g");
            w.Close("nutrition");
        }
        if (random.Percent(5)) w.Field("shop_note", "Aktion KW 48");
        if (random.Percent(10)) w.Empty("last_change");
    }
    w.Close("article");
}

void CustomerMixedList(Writer& w, Random& random, long& counter) {
    const int kind = random.Between(1, 100);
    const int count = random.Between(1, 40);
    if (kind <= 50) {
        const bool listMode = random.Percent(30);
        if (listMode) w.Open("articles", "mode", "write");
        else w.Open("articles");
        for (int i = 0; i < count; ++i) {
            const char* mode = listMode ? "write" : random.Pick(kCustomerModes);
            CustomerArticle(w, random, ++counter, mode);
        }
        w.Close("articles");
    } else if (kind <= 62) {
        w.Open("departments", "mode", "write");
        for (int i = 0; i < count; ++i) {
            w.Open("department");
            w.Field("department_no", ++counter % 1000);
            w.Field("name", random.Pick(kDepartments));
            w.Close("department");
        }
        w.Close("departments");
    } else if (kind <= 74) {
        w.Open("tares");
        for (int i = 0; i < count; ++i) {
            w.Open("tare", "mode", "write");
            w.Field("tare_no", ++counter % 100);
            w.Field("weight", random.Between(1, 250));
            w.Field("name", "Schale");
            w.Close("tare");
        }
        w.Close("tares");
    } else if (kind <= 86) {
        w.Open("term_lists");
        for (int i = 0; i < count; ++i) {
            w.Open("term_list", "mode", "write");
            w.Field("name", random.Pick(kTermLines));
            for (int l = random.Between(1, 3); l > 0; --l) w.Field("line", random.Pick(kTermLines));
            w.Close("term_list");
            ++counter;
        }
        w.Close("term_lists");
    } else if (kind <= 92) {
        w.Open("tafs", "mode", "read");
        w.Empty("taf");
        w.Close("tafs");
        ++counter;
    } else {
        w.Open("article_turnovers", "mode", "read");
        for (int i = 0; i < count; ++i) {
            w.Open("article_turnover");
            w.Field("plu_no", ++counter);
            w.Close("article_turnover");
        }
        w.Close("article_turnovers");
    }
}

// A chain of nested containers, each with a field of its own.
void CustomerChain(Writer& w, Random& random, int depth) {
    if (depth == 0) return;
    const bool even = depth % 2 == 0;
    w.Open(even ? "ingredients" : "nutrition");
    w.Field(even ? "ingredients_no" : "value", random.Between(1, 900));
    CustomerChain(w, random, depth - 1);
    w.Close(even ? "ingredients" : "nutrition");
}

void CustomerShapedRecord(Writer& w, Random& random, Shape shape, long& counter) {
    switch (shape) {
    case Shape::Alternating:
        if (counter % 2 == 0) {
            w.Open("articles");
            CustomerArticle(w, random, ++counter, "write");
            w.Close("articles");
        } else {
            w.Open("tares");
            w.Open("tare", "mode", "write");
            w.Field("tare_no", ++counter % 100);
            w.Field("weight", random.Between(1, 250));
            w.Close("tare");
            w.Close("tares");
        }
        break;
    case Shape::Deep:
    case Shape::OpenStack:
        w.Open("article", "mode", "write");
        w.Field("plu_no", ++counter);
        CustomerChain(w, random, 32);
        if (shape == Shape::Deep) w.Field("text_no", random.Between(1, 400));
        w.Close("article");
        break;
    case Shape::Unknown:
        w.Open("article", "mode", "write");
        w.Field("plu_no", ++counter);
        w.Open("shop_extension");
        w.Field("shelf_label", "A3-17");
        w.Field("name", random.Pick(kProductNames));
        w.Close("shop_extension");
        w.Field("custom_flag_7", "yes");
        w.Field("text_no", random.Between(1, 400));
        w.Close("article");
        break;
    case Shape::Mixed:
        break;
    }
}

void CustomerTransfers(Writer& w, long records) {
    const long transfers = records / 5000 + 3;
    for (long i = 0; i < transfers; ++i) {
        const char* const* kind = kTransferKinds[i % 3];
        w.Open(kind[0]);
        w.Open(kind[1], "mode", "write");
        w.Field("source", "C:\\Transfer\\file" + std::to_string(i) + ".bin");
        w.Field("destination", "file" + std::to_string(i) + ".bin");
        w.Field("originator", "Filiale 12");
        w.Field("category", "labels");
        w.Field("last_change", "2026-11-30T08:00:00");
        w.Close(kind[1]);
        w.Close(kind[0]);
    }
}

std::string GenerateCustomer(const InputRecipe& recipe) {
    std::string out;
    out.reserve(recipe.targetBytes + 4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    Writer w(out, true);
    Random random(recipe.seed);
    long counter = 0;
    w.Open("scaledata");
    const bool listed = recipe.shape == Shape::Deep || recipe.shape == Shape::Unknown ||
                        recipe.shape == Shape::OpenStack;
    if (listed) w.Open("articles");
    while (out.size() < recipe.targetBytes) {
        if (recipe.shape == Shape::Mixed) CustomerMixedList(w, random, counter);
        else CustomerShapedRecord(w, random, recipe.shape, counter);
    }
    if (listed) w.Close("articles");
    if (recipe.shape == Shape::Mixed) CustomerTransfers(w, counter);
    w.Close("scaledata");
    out += '\n';
    return out;
}

// ---- Device files ----------------------------------------------------------

void DeviceArticle(Writer& w, Random& random, long plu, const char* mode) {
    w.Empty("_");
    w.Open("art", "m", mode);
    w.Field("dvn", "0");
    w.Field("plu", plu);
    if (std::strcmp(mode, "d") != 0) {
        w.Field("nam", random.Pick(kProductNames));
        w.Field("dpn", random.Between(1, 12));
        w.Field("pr1", Price(random));
        w.Field("tid", random.Between(1, 400));
        if (random.Percent(40)) w.Field("ean", 4000000000000L + plu);
        if (random.Percent(30)) {
            w.Open("ing");
            for (int i = random.Between(1, 3); i > 0; --i) w.Field("inn", random.Between(1, 900));
            w.Close("ing");
        }
        if (random.Percent(20)) {
            w.Open("nut");
            w.Field("val", random.Between(1, 999));
            w.Field("uni", "g");
            w.Close("nut");
        }
        if (random.Percent(10)) w.Empty("lch");
    }
    w.Close("art");
    w.NewLine();
}

void DeviceMixedRun(Writer& w, Random& random, long& counter) {
    const int kind = random.Between(1, 100);
    const int count = random.Between(1, 40);
    for (int i = 0; i < count; ++i) {
        if (kind <= 50) {
            DeviceArticle(w, random, ++counter, random.Pick(kDeviceModes));
            continue;
        }
        w.Empty("_");
        if (kind <= 62) {
            w.Open("dpt", "m", "w");
            w.Field("dvn", "0");
            w.Field("dpn", ++counter % 1000);
            w.Field("nam", random.Pick(kDepartments));
            w.Close("dpt");
        } else if (kind <= 74) {
            w.Open("tar", "m", "w");
            w.Field("dvn", "0");
            w.Field("tan", ++counter % 100);
            w.Field("wei", random.Between(1, 250));
            w.Close("tar");
        } else if (kind <= 86) {
            w.Open("lit", "m", "r");
            w.Field("dvn", "u");
            w.Field("nam", random.Pick(kTermLines));
            for (int l = random.Between(1, 3); l > 0; --l) w.Field("lin", random.Pick(kTermLines));
            w.Close("lit");
            ++counter;
        } else if (kind <= 92) {
            w.Open("log", "m", "r");
            w.Field("dvn", random.Between(1, 9));
            w.Field("dpn", random.Between(1, 12));
            w.Field("nam", "Kalibrierung");
            w.Close("log");
            ++counter;
        } else {
            // A device reply: the exceptions it reported.
            w.Open("exs");
            for (int e = random.Between(1, 3); e > 0; --e) {
                w.Open("exc");
                w.Field("dvn", random.Between(1, 9));
                const int number = random.Between(1, 40);
                w.Field("eno", number);
                w.Field("err", "PLU &lt;" + std::to_string(counter) + "&gt; not found");
                w.Close("exc");
            }
            w.Close("exs");
            ++counter;
        }
        w.NewLine();
    }
}

void DeviceChain(Writer& w, Random& random, int depth) {
    if (depth == 0) return;
    const bool even = depth % 2 == 0;
    w.Open(even ? "ing" : "nut");
    w.Field(even ? "inn" : "val", random.Between(1, 900));
    DeviceChain(w, random, depth - 1);
    w.Close(even ? "ing" : "nut");
}

void DeviceShapedRecord(Writer& w, Random& random, Shape shape, long& counter) {
    switch (shape) {
    case Shape::Alternating:
        if (counter % 2 == 0) {
            DeviceArticle(w, random, ++counter, "w");
        } else {
            w.Empty("_");
            w.Open("tar", "m", "w");
            w.Field("dvn", "0");
            w.Field("tan", ++counter % 100);
            w.Field("wei", random.Between(1, 250));
            w.Close("tar");
            w.NewLine();
        }
        break;
    case Shape::Deep:
    case Shape::OpenStack:
        w.Empty("_");
        w.Open("art", "m", "w");
        w.Field("dvn", "0");
        w.Field("plu", ++counter);
        DeviceChain(w, random, 32);
        if (shape == Shape::Deep) w.Field("tid", random.Between(1, 400));
        w.Close("art");
        w.NewLine();
        break;
    case Shape::Unknown:
        w.Empty("_");
        w.Open("art", "m", "w");
        w.Field("dvn", "0");
        w.Field("plu", ++counter);
        w.Open("xex");
        w.Field("xsl", "A3-17");
        w.Field("nam", random.Pick(kProductNames));
        w.Close("xex");
        w.Field("xcf", "yes");
        w.Field("tid", random.Between(1, 400));
        w.Close("art");
        w.NewLine();
        break;
    case Shape::Mixed:
        break;
    }
}

void DeviceTransfers(Writer& w, long records) {
    const long transfers = records / 5000 + 3;
    for (long i = 0; i < transfers; ++i) {
        w.Empty("_");
        w.Open("adm");
        w.Field("dvn", "ufm");
        w.Open("trn");
        w.Field("nam", "C:\\Transfer\\file" + std::to_string(i) + ".bin");
        w.Field("ori", "Filiale 12");
        w.Field("ctg", "labels");
        w.Field("lch", "2026-11-30T08:00:00");
        w.Open(kTransferKinds[i % 3][2], "m", "w");
        w.Field("src", "C:\\Transfer\\file" + std::to_string(i) + ".bin");
        w.Field("dst", "file" + std::to_string(i) + ".bin");
        w.Close(kTransferKinds[i % 3][2]);
        w.Close("trn");
        w.Close("adm");
        w.NewLine();
    }
}

std::string GenerateDevice(const InputRecipe& recipe) {
    std::string out;
    out.reserve(recipe.targetBytes + 4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Writer w(out, false);
    Random random(recipe.seed);
    long counter = 0;
    w.Open("dat");
    w.NewLine();
    while (out.size() < recipe.targetBytes) {
        if (recipe.shape == Shape::Mixed) DeviceMixedRun(w, random, counter);
        else DeviceShapedRecord(w, random, recipe.shape, counter);
    }
    if (recipe.shape == Shape::Mixed) DeviceTransfers(w, counter);
    w.Empty("_");
    w.Close("dat");
    out += '\n';
    return out;
}

}  // namespace

std::string GenerateUtf8(const InputRecipe& recipe) {
    return recipe.dialect == Dialect::Customer ? GenerateCustomer(recipe) : GenerateDevice(recipe);
}

std::string ToUtf16Le(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size() * 2 + 2);
    out += "\xFF\xFE";
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned unit;
        if (c < 0x80) {
            unit = c;
            i += 1;
        } else if ((c & 0xE0) == 0xC0) {
            unit = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            i += 2;
        } else {
            unit = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            i += 3;
        }
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::string GenerateFileBytes(const InputRecipe& recipe) {
    std::string text = GenerateUtf8(recipe);
    if (!recipe.utf16) return text;
    const std::string from = "encoding=\"UTF-8\"";
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), "encoding=\"UTF-16\"");
    return ToUtf16Le(text);
}

bool WriteInputFile(const InputRecipe& recipe, const std::string& path) {
    const std::string bytes = GenerateFileBytes(recipe);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::Mixed: return "mixed";
    case Shape::Alternating: return "alternating";
    case Shape::Deep: return "deep";
    case Shape::Unknown: return "unknown";
    case Shape::OpenStack: return "openstack";
    }
    return "?";
}

bool ParseShape(const std::string& name, Shape& shape) {
    for (Shape s : {Shape::Mixed, Shape::Alternating, Shape::Deep, Shape::Unknown, Shape::OpenStack}) {
        if (name == ShapeName(s)) {
            shape = s;
            return true;
        }
    }
    return false;
}

std::string SingleRecordFile(Dialect dialect) {
    if (dialect == Dialect::Customer) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<scaledata>\n"
               "  <articles>\n"
               "    <article mode=\"write\">\n"
               "      <plu_no>4711</plu_no>\n"
               "      <name>Äpfel Braeburn</name>\n"
               "      <department_no>1</department_no>\n"
               "      <price1>249</price1>\n"
               "      <ingredients>\n"
               "        <ingredients_no>12</ingredients_no>\n"
               "      </ingredients>\n"
               "      <text_no>3</text_no>\n"
               "    </article>\n"
               "  </articles>\n"
               "</scaledata>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<dat>\n"
           "<_/><art m=\"w\"><dvn>0</dvn><plu>4711</plu><nam>Äpfel Braeburn</nam><dpn>1</dpn>"
           "<pr1>249</pr1><ing><inn>12</inn></ing><tid>3</tid><lch/></art>\n"
           "<_/>\n"
           "</dat>\n";
}

}  // namespace bench
