#include "pe_image.h"

#include <imagehlp.h>

#include "files.h"

namespace e2e {

static DWORD Word(const std::vector<unsigned char> &bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8);
}

static DWORD Dword(const std::vector<unsigned char> &bytes, size_t at)
{
    return Word(bytes, at) | (Word(bytes, at + 2) << 16);
}

bool ReadPeLayout(const std::vector<unsigned char> &bytes, PeLayout *layout, std::string *error)
{
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
        *error = "no MZ header";
        return false;
    }
    size_t pe = Dword(bytes, 0x3C);
    if (pe + 24 > bytes.size() || Dword(bytes, pe) != IMAGE_NT_SIGNATURE) {
        *error = "no PE header";
        return false;
    }
    size_t sectionCount = Word(bytes, pe + 6);
    size_t optionalSize = Word(bytes, pe + 20);
    size_t optional = pe + 24;
    size_t sections = optional + optionalSize;
    if (optionalSize < 68 || sections + sectionCount * IMAGE_SIZEOF_SECTION_HEADER > bytes.size()) {
        *error = "truncated PE headers";
        return false;
    }
    layout->checksumOffset = (DWORD)(optional + 64);
    layout->checksum = Dword(bytes, optional + 64);
    size_t directories = optional + (Word(bytes, optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 112 : 96);
    size_t security = directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
    if (security + sizeof(IMAGE_DATA_DIRECTORY) > sections) {
        *error = "no certificate-table entry";
        return false;
    }
    layout->certificatesOffset = Dword(bytes, security);
    layout->certificatesSize = Dword(bytes, security + 4);
    layout->sections.clear();
    for (size_t i = 0; i < sectionCount; i++) {
        size_t header = sections + i * IMAGE_SIZEOF_SECTION_HEADER;
        PeSection section;
        section.name.assign(reinterpret_cast<const char *>(&bytes[header]), 8);
        section.name.resize(section.name.find('\0') == std::string::npos ? 8 : section.name.find('\0'));
        section.rawSize = Dword(bytes, header + 16);
        section.rawOffset = Dword(bytes, header + 20);
        section.characteristics = Dword(bytes, header + 36);
        layout->sections.push_back(section);
    }
    return true;
}

bool ImagehlpChecksum(const std::string &path, DWORD *stamped, DWORD *computed, std::string *error)
{
    DWORD status = MapFileAndCheckSumA(path.c_str(), stamped, computed);
    if (status != CHECKSUM_SUCCESS) {
        *error = "MapFileAndCheckSumA(" + path + ") failed with " + std::to_string(status);
        return false;
    }
    return true;
}

bool ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type, std::vector<unsigned char> *bytes,
                   std::string *error)
{
    HRSRC resource = FindResourceA(module, name, type);
    if (resource == NULL) {
        *error = "resource not found: " + driver::ErrorText(GetLastError());
        return false;
    }
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const unsigned char *data = loaded ? static_cast<const unsigned char *>(LockResource(loaded)) : NULL;
    if (data == NULL || size == 0) {
        *error = "resource cannot be loaded: " + driver::ErrorText(GetLastError());
        return false;
    }
    bytes->assign(data, data + size);
    return true;
}

namespace {
// Reads a dialog template's little-endian fields in order.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char> &bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    size_t at() const { return at_; }

    DWORD Word()
    {
        if (at_ + 2 > bytes_.size()) {
            ok_ = false;
            return 0;
        }
        DWORD value = bytes_[at_] | (bytes_[at_ + 1] << 8);
        at_ += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (Word() << 16);
    }
    short Short() { return static_cast<short>(Word()); }

    // A zero-terminated UTF-16 string of ASCII characters.
    std::string String()
    {
        std::string text;
        for (DWORD c = Word(); ok_ && c != 0; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    // 0x0000: none; 0xFFFF and an ordinal; otherwise a string.
    NameOrOrdinal NameOrOrdinalField()
    {
        NameOrOrdinal value;
        if (at_ + 2 <= bytes_.size() && Peek() == 0xFFFF) {
            Word();
            value.isOrdinal = true;
            value.ordinal = static_cast<WORD>(Word());
        } else {
            value.name = String();
        }
        return value;
    }
    void AlignToDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }
    void Skip(size_t count) { at_ += count; ok_ = ok_ && at_ <= bytes_.size(); }

private:
    DWORD Peek() const { return bytes_[at_] | (bytes_[at_ + 1] << 8); }
    const std::vector<unsigned char> &bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};
}  // namespace

bool ParseDialogTemplate(const std::vector<unsigned char> &bytes, DialogTemplate *dialog,
                         std::string *error)
{
    *dialog = DialogTemplate();
    TemplateReader in(bytes);
    if (bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF) {
        dialog->extendedForm = true;
        return true;
    }
    dialog->style = in.Dword();
    dialog->extendedStyle = in.Dword();
    DWORD itemCount = in.Word();
    dialog->x = in.Short();
    dialog->y = in.Short();
    dialog->cx = in.Short();
    dialog->cy = in.Short();
    dialog->menu = in.NameOrOrdinalField();
    dialog->windowClass = in.NameOrOrdinalField();
    dialog->title = in.String();
    if (dialog->style & DS_SETFONT) {
        dialog->hasFont = true;
        dialog->pointSize = static_cast<WORD>(in.Word());
        dialog->font = in.String();
    }
    for (DWORD i = 0; i < itemCount && in.ok(); i++) {
        in.AlignToDword();
        DialogItemTemplate item;
        item.style = in.Dword();
        item.extendedStyle = in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = static_cast<WORD>(in.Word());
        item.windowClass = in.NameOrOrdinalField();
        item.text = in.NameOrOrdinalField();
        item.creationDataSize = static_cast<WORD>(in.Word());
        in.Skip(item.creationDataSize);
        dialog->items.push_back(item);
    }
    if (!in.ok()) {
        *error = "the template ends early (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    dialog->bytesUsed = in.at();
    return true;
}

}  // namespace e2e
