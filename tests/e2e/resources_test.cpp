// The program's resources, read from the built file: the templates of the
// progress dialog and the restart offer as res/dialogs.json describes them
// (what the build made of its description), the program's icon, the version
// information as Windows' own version API reads it, and the manifest. That
// the program runs with them is what every other test shows.
#include <gtest/gtest.h>

#include <cstring>

#include "files.h"
#include "pe_image.h"
#include "res/dialogs.h"
#include "res/product.h"
#include "uninstaller_test.h"

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = BuiltUninstaller();
        ASSERT_FALSE(path_.empty()) << "E2E_UNINSTALL_EXE names no uninstall.exe";
        module_ = LoadLibraryExA(path_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << path_ << ": " << driver::ErrorText(GetLastError());
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

std::string Show(const e2e::NameOrOrdinal &value)
{
    return value.isOrdinal ? "#" + std::to_string(value.ordinal) : "\"" + value.name + "\"";
}

// A class as the template stores it: a predefined one by its atom, any
// other by its name.
std::string ShowClass(const dialogs::Item &item)
{
    return item.classAtom != 0 ? "#" + std::to_string(item.classAtom) : "\"" + std::string(item.className) + "\"";
}

// Every value of the template but the controls' classes, as
// res/dialogs.json describes it.
void ExpectDialog(const dialogs::Dialog &wanted, const e2e::DialogTemplate &dialog)
{
    EXPECT_EQ(wanted.style, dialog.style);
    EXPECT_EQ(0u, dialog.extendedStyle);
    EXPECT_EQ(wanted.x, dialog.x);
    EXPECT_EQ(wanted.y, dialog.y);
    EXPECT_EQ(wanted.cx, dialog.cx);
    EXPECT_EQ(wanted.cy, dialog.cy);
    EXPECT_EQ("\"\"", Show(dialog.menu)) << "menu";
    EXPECT_EQ("\"\"", Show(dialog.windowClass)) << "dialog class";
    EXPECT_EQ(wanted.title, dialog.title);
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(wanted.pointSize, dialog.pointSize);
    EXPECT_EQ(wanted.font, dialog.font);

    ASSERT_EQ(wanted.itemCount, dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); i++) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const dialogs::Item &row = wanted.items[i];
        const e2e::DialogItemTemplate &item = dialog.items[i];
        EXPECT_EQ(row.id, item.id);
        EXPECT_EQ("\"" + std::string(row.text) + "\"", Show(item.text)) << "text";
        EXPECT_EQ(row.style, item.style);
        EXPECT_EQ(0u, item.extendedStyle);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
        EXPECT_EQ(0, item.creationDataSize);
    }
}

void ExpectClasses(const dialogs::Dialog &wanted, const e2e::DialogTemplate &dialog)
{
    ASSERT_EQ(wanted.itemCount, dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); i++)
        EXPECT_EQ(ShowClass(wanted.items[i]), Show(dialog.items[i].windowClass)) << "class of control " << i + 1;
}

TEST_F(Resources, ProgressDialogTemplate)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(dialogs::kUninstdlg.name, &dialog));
    ExpectDialog(dialogs::kUninstdlg, dialog);
}

// The restart offer's message keeps its bare line feeds: the question stands
// after one empty line.
TEST_F(Resources, RestartDialogTemplate)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(dialogs::kRestartdlg.name, &dialog));
    ExpectDialog(dialogs::kRestartdlg, dialog);
    ExpectClasses(dialogs::kRestartdlg, dialog);
}

TEST_F(Resources, ProgressDialogControlClasses)
{
    e2e::DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(dialogs::kUninstdlg.name, &dialog));
    ExpectClasses(dialogs::kUninstdlg, dialog);
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
    ASSERT_NE(0u, size) << path_ << ": " << driver::ErrorText(GetLastError());
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, info.data())) << driver::ErrorText(GetLastError());

    EXPECT_EQ(PRODUCT_NAME, VersionString(info, "FileDescription"));
    EXPECT_EQ(PRODUCT_VERSION, VersionString(info, "FileVersion"));
    EXPECT_EQ(PRODUCT_VERSION, VersionString(info, "ProductVersion"));
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
