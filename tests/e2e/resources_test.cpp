// The program's resources, read from the built file: the templates of the
// progress dialog and the restart offer, the program's icon, the version
// information as Windows' own version API reads it, and the manifest. That
// the program runs with them is what every other test shows.
#include <gtest/gtest.h>

#include <cstring>

#include "files.h"
#include "pe_image.h"
#include "uninstaller_test.h"

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = BuiltUninstaller();
        ASSERT_FALSE(path_.empty()) << "E2E_UNINSTALL_EXE names no uninstall.exe";
        module_ = LoadLibraryExA(path_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << path_ << ": " << e2e::ErrorText(GetLastError());
    }

    void TearDown() override
    {
        if (module_ != NULL)
            FreeLibrary(module_);
    }

    void LoadDialog(const char *name, e2e::DialogTemplate *dialog)
    {
        std::vector<unsigned char> bytes;
        std::string error;
        ASSERT_TRUE(e2e::ResourceBytes(module_, name, MAKEINTRESOURCEA(5) /* RT_DIALOG */, &bytes, &error))
            << error;
        ASSERT_TRUE(e2e::ParseDialogTemplate(bytes, dialog, &error)) << error;
        ASSERT_FALSE(dialog->extendedForm) << "an extended template (DLGTEMPLATEEX)";
    }

    std::string path_;
    HMODULE module_ = NULL;
};

e2e::NameOrOrdinal Ordinal(WORD ordinal)
{
    e2e::NameOrOrdinal value;
    value.isOrdinal = true;
    value.ordinal = ordinal;
    return value;
}

e2e::NameOrOrdinal Name(const std::string &name)
{
    e2e::NameOrOrdinal value;
    value.name = name;
    return value;
}

std::string Show(const e2e::NameOrOrdinal &value)
{
    return value.isOrdinal ? "#" + std::to_string(value.ordinal) : "\"" + value.name + "\"";
}

void ExpectSame(const e2e::NameOrOrdinal &wanted, const e2e::NameOrOrdinal &actual, const char *what)
{
    EXPECT_EQ(Show(wanted), Show(actual)) << what;
}

struct ItemRow {
    WORD id;
    e2e::NameOrOrdinal windowClass;
    e2e::NameOrOrdinal text;
    DWORD style;
    short x, y, cx, cy;
};

// The controls of UNINSTDLG in their order. Predefined classes are named by
// their atoms (0x80 button, 0x82 static), the progress bar by its class name.
const WORD kButton = 0x80;
const WORD kStatic = 0x82;
const std::vector<ItemRow> kControls = {
    {1003, Ordinal(kButton), Name("&Cancel"), 0x50010000, 76, 69, 50, 14},
    {101, Ordinal(kStatic), Name("Text"), 0x50020000, 39, 6, 152, 8},
    {102, Ordinal(kStatic), Name("Text"), 0x50020000, 39, 21, 152, 8},
    {131, Name("msctls_progress32"), Name("Progress"), 0x50800000, 8, 46, 186, 14},
    {0xFFFF, Ordinal(kStatic), Name("MAINICON"), 0x50000003, 8, 6, 21, 20},
};

struct DialogRow {
    DWORD style;
    short x, y, cx, cy;
    const char *title;
};

// A dialog's header and its controls in their order: every value of the
// template but the controls' classes.
void ExpectDialog(const DialogRow &wanted, const std::vector<ItemRow> &controls,
                  const e2e::DialogTemplate &dialog)
{
    EXPECT_EQ(wanted.style, dialog.style);
    EXPECT_EQ(0u, dialog.extendedStyle);
    EXPECT_EQ(wanted.x, dialog.x);
    EXPECT_EQ(wanted.y, dialog.y);
    EXPECT_EQ(wanted.cx, dialog.cx);
    EXPECT_EQ(wanted.cy, dialog.cy);
    ExpectSame(Name(""), dialog.menu, "menu");
    ExpectSame(Name(""), dialog.windowClass, "dialog class");
    EXPECT_EQ(wanted.title, dialog.title);
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.font);

    ASSERT_EQ(controls.size(), dialog.items.size());
    for (size_t i = 0; i < controls.size(); i++) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const ItemRow &row = controls[i];
        const e2e::DialogItemTemplate &item = dialog.items[i];
        EXPECT_EQ(row.id, item.id);
        ExpectSame(row.text, item.text, "text");
        EXPECT_EQ(row.style, item.style);
        EXPECT_EQ(0u, item.extendedStyle);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
        EXPECT_EQ(0, item.creationDataSize);
    }
}

void ExpectClasses(const std::vector<ItemRow> &controls, const e2e::DialogTemplate &dialog)
{
    ASSERT_EQ(controls.size(), dialog.items.size());
    for (size_t i = 0; i < controls.size(); i++)
        ExpectSame(controls[i].windowClass, dialog.items[i].windowClass,
                   ("class of control " + std::to_string(i + 1)).c_str());
}

TEST_F(Resources, ProgressDialogTemplate)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog("UNINSTDLG", &dialog));
    ExpectDialog({0x80CF0044, 86, 65, 202, 87, kProgressTitle}, kControls, dialog);
}

// The restart offer's message keeps its bare line feeds: the question stands
// after one empty line.
const std::vector<ItemRow> kRestartControls = {
    {1, Ordinal(kButton), Name("&Yes"), 0x50010001, 55, 73, 50, 14},
    {2, Ordinal(kButton), Name("&No"), 0x50010000, 115, 73, 50, 14},
    {101, Ordinal(kButton), Name(""), 0x50000007, 34, 9, 177, 57},
    {0xFFFF, Ordinal(kStatic),
     Name("Some files could not be removed while running this uninstall. Your system has to be restarted to "
          "remove these locked system files.\n\nDo you want to restart now ?"),
     0x50020001, 44, 18, 162, 45},
    {0xFFFF, Ordinal(kStatic), Name("MAINICON"), 0x50000003, 9, 14, 18, 20},
};

TEST_F(Resources, RestartDialogTemplate)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog("RESTARTDLG", &dialog));
    ExpectDialog({0x90C800C4, 26, 43, 220, 92, kRestartTitle}, kRestartControls, dialog);
    ExpectClasses(kRestartControls, dialog);
}

TEST_F(Resources, ProgressDialogControlClasses)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog("UNINSTDLG", &dialog));
    ExpectClasses(kControls, dialog);
}

#pragma pack(push, 1)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

TEST_F(Resources, MainIconHasThreeImagesOf2And8And16Colours)
{
    std::vector<unsigned char> group;
    std::string error;
    ASSERT_TRUE(e2e::ResourceBytes(module_, "MAINICON", MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, &group, &error))
        << error;
    ASSERT_GE(group.size(), 6u);
    const WORD *header = reinterpret_cast<const WORD *>(group.data());
    EXPECT_EQ(0, header[0]);
    EXPECT_EQ(1, header[1]) << "not an icon group";
    ASSERT_EQ(3, header[2]) << "images in the group";
    ASSERT_EQ(6 + 3 * sizeof(IconGroupEntry), group.size());

    const int colours[] = {2, 8, 16};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        IconGroupEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(entry), sizeof(entry));
        EXPECT_EQ(32, entry.width);
        EXPECT_EQ(32, entry.height);
        EXPECT_EQ(colours[i], entry.colourCount);

        std::vector<unsigned char> image;
        ASSERT_TRUE(e2e::ResourceBytes(module_, MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3) /* RT_ICON */,
                                       &image, &error))
            << "icon " << entry.id << ": " << error;
        EXPECT_EQ(entry.bytesInResource, image.size());
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image.data(), sizeof(bitmap));
        EXPECT_EQ(32, bitmap.biWidth);
        EXPECT_EQ(64, bitmap.biHeight) << "colour and mask rows";
        EXPECT_EQ(entry.bitCount, bitmap.biBitCount);
        const unsigned palette = bitmap.biClrUsed ? bitmap.biClrUsed : 1u << bitmap.biBitCount;
        EXPECT_EQ(static_cast<unsigned>(colours[i]), palette) << "palette entries";

        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE,
                                              0x00030000, 32, 32, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon) << "the image does not load as an icon";
        if (icon != NULL)
            DestroyIcon(icon);
    }
}

// A string of the version information's first translation.
std::string VersionString(const std::vector<unsigned char> &info, const std::string &name)
{
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation *translations = NULL;
    UINT size = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translations),
                        &size) ||
        size < sizeof(Translation))
        return "<no translation>";
    char path[128];
    wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language, translations[0].codePage,
              name.c_str());
    char *value = NULL;
    if (!VerQueryValueA(info.data(), path, reinterpret_cast<void **>(&value), &size))
        return "<no " + name + ">";
    return std::string(value, size > 0 && value[size - 1] == '\0' ? size - 1 : size);
}

TEST_F(Resources, VersionInformation)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
    ASSERT_NE(0u, size) << path_ << ": " << e2e::ErrorText(GetLastError());
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, info.data())) << e2e::ErrorText(GetLastError());

    EXPECT_EQ("Morvane Uninstall", VersionString(info, "FileDescription"));
    EXPECT_EQ("1.30", VersionString(info, "FileVersion"));
    EXPECT_EQ("1.30", VersionString(info, "ProductVersion"));
    EXPECT_EQ("uninstall.exe", VersionString(info, "OriginalFilename"));

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void **>(&fixed), &fixedSize));
    ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(30, 1), static_cast<LONG>(fixed->dwFileVersionMS));
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(30, 1), static_cast<LONG>(fixed->dwProductVersionMS));
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

TEST_F(Resources, ManifestAsksForAdministratorRights)
{
    std::vector<unsigned char> bytes;
    std::string error;
    ASSERT_TRUE(e2e::ResourceBytes(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */, &bytes,
                                   &error))
        << error;
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_EQ(0u, manifest.find("<?xml")) << manifest.substr(0, 80);
    EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"requireAdministrator\""))
        << manifest;
}

}  // namespace
