// Looking into PE files: section layout, the header checksum (with imagehlp
// as the independent judge), resources and dialog templates.
#ifndef E2E_SUPPORT_PE_IMAGE_H
#define E2E_SUPPORT_PE_IMAGE_H

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

struct PeSection {
    std::string name;
    DWORD rawOffset;
    DWORD rawSize;
    DWORD characteristics;
};

struct PeLayout {
    DWORD checksumOffset;  // file offset of the optional header's CheckSum
    DWORD checksum;        // the value stamped there
    DWORD certificatesOffset;  // the certificate table (0 and 0: not signed)
    DWORD certificatesSize;
    std::vector<PeSection> sections;
};

bool ReadPeLayout(const std::vector<unsigned char> &bytes, PeLayout *layout, std::string *error);

// imagehlp's MapFileAndCheckSumA: the checksum stamped in the header and the
// one computed from the file's bytes.
bool ImagehlpChecksum(const std::string &path, DWORD *stamped, DWORD *computed, std::string *error);

// A resource's bytes from a module loaded as a data file.
bool ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type, std::vector<unsigned char> *bytes,
                   std::string *error);

// A resource name or ordinal as dialog templates hold them.
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string name;
};

struct DialogItemTemplate {
    DWORD style;
    DWORD extendedStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
    WORD creationDataSize;
};

struct DialogTemplate {
    bool extendedForm = false;  // DLGTEMPLATEEX rather than DLGTEMPLATE
    DWORD style = 0;
    DWORD extendedStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::string title;
    bool hasFont = false;
    WORD pointSize = 0;
    std::string font;
    std::vector<DialogItemTemplate> items;
    size_t bytesUsed = 0;  // where the last item ends
};

// Parses a standard (not extended) dialog template. An extended one is
// reported through extendedForm and not parsed further.
bool ParseDialogTemplate(const std::vector<unsigned char> &bytes, DialogTemplate *dialog,
                         std::string *error);

}  // namespace e2e

#endif
