#include "support/CaseScript.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

// Escapes \n \r \t \0 \\ \xHH; {{N*text}} repeats text N times, # in it
// standing for the repetition's number from 0.
std::string Unescape(const std::string& in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in.compare(i, 2, "{{") == 0) {
            const std::size_t star = in.find('*', i), end = in.find("}}", i);
            const std::string body = in.substr(star + 1, end - star - 1);
            const long count = std::stol(in.substr(i + 2, star - i - 2));
            if (body.find('#') == std::string::npos) {
                std::string all = Unescape(body);  // doubled up to the count
                const std::size_t size = all.size() * count;
                while (all.size() < size) all.append(all, 0, std::min(all.size(), size - all.size()));
                out += count > 0 ? all : "";
            }
            for (long n = 0; n < count && body.find('#') != std::string::npos; ++n) {
                out += Unescape(std::regex_replace(body, std::regex("#"), std::to_string(n)));
            }
            i = end + 1;
        } else if (in[i] != '\\' || i + 1 == in.size()) {
            out += in[i];
        } else {
            const char c = in[++i];
            if (c == 'x') {
                out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == '0' ? '\0' : c;
            }
        }
    }
    return out;
}

// UTF-8 of the Basic Multilingual Plane (a stray byte is one unit) to UTF-16LE.
std::string Utf16Of(const std::string& text) {
    std::string out(2 * text.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const int length = c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned u = length == 1 ? c : c & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) u = u << 6 | (text[i + k] & 0x3F);
        out[n++] = static_cast<char>(u & 0xFF);
        out[n++] = static_cast<char>(u >> 8);
        i += length;
    }
    out.resize(n);
    return out;
}

// UTF-16LE after the byte-order mark, as UTF-8; each unit on its own.
std::string TextOfUtf16(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") != 0) return "<no FF FE mark>" + bytes.substr(0, 64);
    std::string out(bytes.size() / 2 * 3, '\0');
    std::size_t n = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned u = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (u >= 0x800) out[n++] = static_cast<char>(0xE0 | u >> 12);
        if (u >= 0x80) out[n++] = static_cast<char>(u >= 0x800 ? 0x80 | (u >> 6 & 0x3F) : 0xC0 | u >> 6);
        out[n++] = static_cast<char>(u >= 0x80 ? 0x80 | (u & 0x3F) : u);
    }
    out.resize(n);
    return bytes.size() % 2 ? out + "<odd byte>" : out;
}

}  // namespace

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("/\\")); }

std::vector<Case> ReadCaseFile(const std::string& path) {
    std::ifstream in(path);
    const fs::path file(path);
    std::vector<Case> cases;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] == '#') continue;
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({file.stem().string(), line.substr(3), file.filename().string(), {}});
        } else if (!cases.empty()) {
            const std::size_t space = line.find(' ', start);
            cases.back().steps.push_back(
                {number, line.substr(start, space - start), space == std::string::npos ? "" : line.substr(space + 1)});
        }
    }
    return cases;
}

std::vector<Case> ReadCases(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Case> cases;
    for (const fs::path& file : files) {
        for (Case& c : ReadCaseFile(file.string())) cases.push_back(std::move(c));
    }
    return cases;
}

CaseScript::CaseScript() { Define("$T", m_folder.Path()); }

void CaseScript::RunCase(const Case& c) {
    m_case = &c;
    const fs::path cwd = fs::current_path();
    for (const CaseStep& step : c.steps) {
        m_line = step.line;
        RunStep(step.op, step.rest);
        if (m_stopped) break;
    }
    fs::current_path(cwd);
}

void CaseScript::Fail(const std::string& message, bool fatal) {
    Report(false, m_line, message);
    m_stopped = m_stopped || fatal;
}

void CaseScript::Skip(const std::string& why) {
    Report(true, m_line, why);
    m_stopped = true;
}

std::string CaseScript::Word(std::string& rest) {
    const std::size_t start = rest.find_first_not_of(' '), end = rest.find(' ', start);
    std::string word = start == std::string::npos ? "" : rest.substr(start, end - start);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    return word;
}

std::string CaseScript::Expand(std::string text, bool escaped) const {
    for (auto [name, value] : m_vars) {
        // A Windows path's backslashes stay themselves in an unescaped text.
        for (std::size_t at = 0; escaped && (at = value.find('\\', at)) != std::string::npos; at += 2) {
            value.insert(at, 1, '\\');
        }
        for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size()) {
            text.replace(at, name.size(), value);
        }
    }
    return text;
}

std::string CaseScript::Path(const std::string& word) const {
    const std::string path = word == "-" ? "" : word == "." ? m_folder.Path() : Expand(word);
    return path.empty() || path[0] == '/' || fs::path(path).is_absolute() ? path : m_folder / path;
}

std::string CaseScript::Text(const std::string& text) const {
    return text.rfind('@', 0) == 0 ? ReadFile(Path(text.substr(1))) : Unescape(Expand(text, true));
}

// Run-log and conversion time stamps of this case's run read "<TS>".
std::string CaseScript::Masked(std::string text) const {
    if (text.size() > (1 << 20)) return text;
    static const std::regex stamp(R"((\d{4})[.-](\d\d)[.-](\d\d)[ T](\d\d)[.:](\d\d)[.:](\d\d))");
    std::string out;
    auto from = text.cbegin();
    for (std::sregex_iterator m(text.begin(), text.end(), stamp), end; m != end; ++m) {
        std::tm t{};
        t.tm_year = std::stoi((*m)[1]) - 1900, t.tm_mon = std::stoi((*m)[2]) - 1, t.tm_mday = std::stoi((*m)[3]);
        t.tm_hour = std::stoi((*m)[4]), t.tm_min = std::stoi((*m)[5]), t.tm_sec = std::stoi((*m)[6]);
        t.tm_isdst = -1;
        const std::time_t at = std::mktime(&t);
        out.append(from, (*m)[0].first);
        out += at >= m_started - 1 && at <= std::time(nullptr) + 1 ? "<TS>" : m->str();
        from = (*m)[0].second;
    }
    return out.append(from, text.cend());
}

void CaseScript::Compare(std::string actual, const std::string& how, const std::string& expected) {
    const std::string text = Masked(std::move(actual));
    if (how == "~" || how == "!~") {
        if ((text.find(expected) != std::string::npos) != (how == "~")) {
            Fail((how == "~" ? "missing: " : "present: ") + expected + "\nin: " + text);
        }
    } else if (how == "lines") {
        const long lines = std::count(text.begin(), text.end(), '\n');
        if (lines != std::stol(expected)) Fail(std::to_string(lines) + " lines, expected " + expected);
    } else if (text != expected) {
        std::size_t at = 0;
        while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
        const std::size_t from = at < 40 ? 0 : at - 40;
        Fail("differs at byte " + std::to_string(at) + " of " + std::to_string(text.size()) + " (expected " +
             std::to_string(expected.size()) + ")\n  actual:   " + text.substr(from, 160) +
             "\n  expected: " + expected.substr(from, 160));
    }
}

void CaseScript::RunStep(const std::string& op, std::string rest) {
    std::error_code ignored;
    if (op == "call") {
        const std::string expected = Word(rest), name = Word(rest);
        std::vector<std::string> args;
        for (std::string w; !(w = Word(rest)).empty();) args.push_back(Path(w));
        const int result = Call(name, args);
        if (result != std::stoi(expected)) Fail(name + ": result " + std::to_string(result) + ", expected " + expected);
    } else if (op == "todevice" || op == "tocustomer" || op == "tocustomer16") {
        // The input as in.xml (in UTF-16 for tocustomer16), converted into out.xml.
        RunStep(op == "tocustomer16" ? "write16" : "write", "in.xml " + rest);
        RunStep("call", op == "todevice" ? "0 CustToZK8Ext in.xml out.xml ." : "0 ZK8ToCustExt in.xml out.xml .");
    } else if (op == "write" || op == "write16") {
        const std::string path = Path(Word(rest)), text = Text(rest);
        fs::create_directories(FolderOf(path), ignored);
        WriteFile(path, op == "write" ? text : "\xFF\xFE" + Utf16Of(text));
    } else if (op == "file" || op == "text") {
        const std::string path = Path(Word(rest)), how = Word(rest);
        if (!Exists(path)) return Fail("no file " + path, true);
        const std::string bytes = ReadFile(path);
        Compare(op == "file" ? bytes : TextOfUtf16(bytes), how, Text(rest));
    } else if (op == "absent" || op == "exists") {
        const std::string path = Path(Word(rest));
        if (Exists(path) != (op == "exists")) Fail((op == "exists" ? "no " : "unexpected ") + path);
    } else if (op == "remove") {
        for (std::string w; !(w = Word(rest)).empty();) fs::remove_all(Path(w), ignored);
    } else if (op == "listing") {
        // The names in the folder, one per line.
        const std::string folder = Path(Word(rest)), how = Word(rest);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string text;
        for (const std::string& name : names) text += name + "\n";
        Compare(text, how, Text(rest));
    } else if (op == "mkdir") {
        fs::create_directories(Path(rest));
    } else if (op == "chmod") {
        const auto mode = static_cast<fs::perms>(std::stoi(Word(rest), nullptr, 8));
        fs::permissions(Path(rest), mode, ignored);
    } else if (op == "cd") {
        fs::current_path(Path(rest));
    } else if (op == "long") {
        // $NAME: a path of exactly LENGTH characters below the case's folder, in
        // folders of 200 characters and a last name made of NAME; "parents"
        // makes the folders, "folder" the last name too.
        const std::string name = Word(rest);
        const std::size_t length = std::stoul(Word(rest));
        std::string path = m_folder.Path();
        while (length - path.size() > 202) {
            path += "/" + std::string(200, 'd');
            if (rest != "none") fs::create_directory(path, ignored);
        }
        for (path += "/"; path.size() < length;) path += name[path.size() % name.size()];
        if (rest == "folder") fs::create_directory(path, ignored);
        Define("$" + name, path);
    } else if (!RunOwn(op, rest)) {
        Skip("no step \"" + op + "\" here");
    }
}
