// Simulated INI files, kept as the text of files in the simulated file
// system: "[Section]" lines and "key=value" lines with CRLF line ends.
// Keys are compared without case; a section may hold a key more than once.
#include "world.h"

#include <cstring>
#include <sstream>

namespace {

using namespace sim::detail;

struct Section {
    std::string name;
    std::vector<std::string> lines;
};

struct IniFile {
    std::vector<std::string> preamble;
    std::vector<Section> sections;
};

std::string Trim(const std::string &text)
{
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

IniFile Parse(const std::string &content)
{
    IniFile ini;
    std::istringstream in(content);
    std::string line;
    Section *current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string t = Trim(line);
        if (!t.empty() && t[0] == '[' && t.find(']') != std::string::npos) {
            ini.sections.push_back(Section{t.substr(1, t.find(']') - 1), {}});
            current = &ini.sections.back();
        } else if (!t.empty()) {
            (current ? current->lines : ini.preamble).push_back(t);
        }
    }
    return ini;
}

std::string Serialise(const IniFile &ini)
{
    std::string out;
    for (const std::string &line : ini.preamble)
        out += line + "\r\n";
    for (const Section &s : ini.sections) {
        out += "[" + s.name + "]\r\n";
        for (const std::string &line : s.lines)
            out += line + "\r\n";
    }
    return out;
}

Section *FindSection(IniFile &ini, const std::string &name)
{
    for (Section &s : ini.sections)
        if (Upper(s.name) == Upper(name))
            return &s;
    return nullptr;
}

std::string KeyOf(const std::string &line)
{
    size_t eq = line.find('=');
    return Upper(Trim(eq == std::string::npos ? line : line.substr(0, eq)));
}

// Loads the INI file at path for a change; false (with the error set) when
// it cannot be, for instance because its directory is missing.
bool Load(const char *path, Node **node, IniFile *ini)
{
    PathLookup found = LookUp(path);
    if (found.node == nullptr && found.parent == nullptr) {
        SetError(found.error);
        return false;
    }
    if (found.node != nullptr && found.node->isDir) {
        SetError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (found.node != nullptr && found.node->heldByOthers > 0) {
        SetError(ERROR_SHARING_VIOLATION);
        return false;
    }
    *node = found.node ? found.node : CreateNode(found.parent, found.lastName, false);
    *ini = Parse((*node)->content);
    return true;
}

}  // namespace

namespace sim {

std::vector<std::pair<std::string, std::string>> ProfileSectionLines(const std::string &content)
{
    IniFile ini = Parse(content);
    std::vector<std::pair<std::string, std::string>> lines;
    ini.sections.insert(ini.sections.begin(), Section{"", ini.preamble});
    for (const Section &s : ini.sections)
        for (const std::string &line : s.lines)
            lines.push_back({s.name, line});
    return lines;
}

std::vector<std::string> ProfileLines(const std::string &path, const std::string &section)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr || found.node->isDir)
        return {};
    IniFile ini = Parse(found.node->content);
    Section *s = FindSection(ini, section);
    return s != nullptr ? s->lines : std::vector<std::string>();
}

}  // namespace sim

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    if (CallFails("WritePrivateProfileStringA", {Str(section), Str(key), Str(value), Str(file)}))
        return FALSE;
    auto lock = Lock();
    Node *node;
    IniFile ini;
    if (section == nullptr || !Load(file, &node, &ini))
        return FALSE;
    Section *s = FindSection(ini, section);
    if (key == nullptr) {
        if (s != nullptr)
            ini.sections.erase(ini.sections.begin() + (s - ini.sections.data()));
    } else {
        if (s == nullptr) {
            ini.sections.push_back(Section{section, {}});
            s = &ini.sections.back();
        }
        auto line = s->lines.begin();
        while (line != s->lines.end() && KeyOf(*line) != Upper(key))
            ++line;
        if (value == nullptr) {
            if (line != s->lines.end())
                s->lines.erase(line);
        } else if (line != s->lines.end()) {
            *line = std::string(key) + "=" + value;
        } else {
            s->lines.push_back(std::string(key) + "=" + value);
        }
    }
    WriteContent(node, Serialise(ini));
    return TRUE;
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file)
{
    if (CallFails("GetPrivateProfileSectionA", {Str(section), Num(size), Str(file)}))
        return 0;
    auto lock = Lock();
    if (size < 2)
        return 0;
    buffer[0] = buffer[1] = '\0';
    PathLookup found = LookUp(file);
    if (found.node == nullptr || found.node->isDir) {
        SetError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    IniFile ini = Parse(found.node->content);
    Section *s = FindSection(ini, section);
    if (s == nullptr)
        return 0;
    std::string out;
    for (const std::string &line : s->lines) {
        if (line[0] == ';')
            continue;
        out += line;
        out += '\0';
    }
    if (out.size() + 1 > size) {
        // Cut to fit, still ending in two zeros, as Windows does.
        memcpy(buffer, out.data(), size - 2);
        buffer[size - 2] = buffer[size - 1] = '\0';
        return size - 2;
    }
    memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = '\0';
    return (DWORD)out.size();
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR file)
{
    std::vector<std::string> given;
    for (const char *p = lines; p != nullptr && *p != '\0'; p += strlen(p) + 1)
        given.push_back(p);
    std::string shown;
    for (const std::string &line : given)
        shown += line + "|";
    if (CallFails("WritePrivateProfileSectionA", {Str(section), shown, Str(file)}))
        return FALSE;
    auto lock = Lock();
    Node *node;
    IniFile ini;
    if (section == nullptr || !Load(file, &node, &ini))
        return FALSE;
    Section *s = FindSection(ini, section);
    if (s == nullptr) {
        ini.sections.push_back(Section{section, {}});
        s = &ini.sections.back();
    }
    s->lines.clear();
    for (const std::string &line : given)
        if (line.find('=') != std::string::npos)
            s->lines.push_back(line);
    WriteContent(node, Serialise(ini));
    return TRUE;
}
