#include "test_app.h"

#include <windows.h>

#include "files.h"
#include "registry.h"

namespace e2e {

std::string TestApp::UninstallKey() const
{
    return std::string(kUninstallKey) + "\\" + name;
}

std::string TestApp::OtherUninstallKey() const
{
    return std::string(kUninstallKey) + "\\" + otherAppName;
}

TestApp DescribeApp(const std::string &folder, const std::string &name)
{
    TestApp app;
    app.name = name;
    app.folder = folder;
    app.logPath = folder + "\\Setup Log\\install.log";
    // A name that begins with this one: only whole entry names count.
    app.otherAppName = name + " Companion";

    const std::string programs = folder + "\\Program Files Long Name";
    const std::string home = programs + "\\" + name;
    const std::string data = home + "\\Data Files Folder";
    const std::string nested = data + "\\Nested Deeper Folder";
    app.directories = {nested, data, home, programs};
    app.files = {
        home + "\\Application Main Program.exe",
        home + "\\Read Me First Please.txt",
        data + "\\Settings Of The Application.ini",
        nested + "\\Deeply Nested Data File.dat",
        nested + "\\Second Nested Data File.dat",
    };

    app.log.push_back({kAppName, name, ""});
    for (const std::string &directory : app.directories)
        app.log.push_back({kDirectory, directory, ""});
    for (size_t i = 0; i < app.files.size(); i++) {
        app.log.push_back({kFile, app.files[i], ""});
        if (i == 1)
            app.log.push_back({kNoAction, "", ""});
        if (i == 3)
            app.log.push_back({kStatusOnly, "", ""});
    }
    app.log.push_back({9, "", ""});
    return app;
}

std::string FileContent(const std::string &path)
{
    return "installed by the end-to-end tests as " + path + "\r\n";
}

bool InstallApp(const TestApp &app, std::string *error)
{
    if (!RemoveTree(app.directories.back(), error) || !RemoveTree(ParentOf(app.logPath), error) ||
        !DeleteKeyTree(HKEY_LOCAL_MACHINE, app.UninstallKey(), error) ||
        !DeleteKeyTree(HKEY_LOCAL_MACHINE, app.OtherUninstallKey(), error))
        return false;
    for (const std::string &directory : app.directories)
        if (!CreateDirectories(directory, error))
            return false;
    for (const std::string &file : app.files)
        if (!CreateDirectories(ParentOf(file), error) || !WriteText(file, FileContent(file), error))
            return false;
    if (!CreateDirectories(ParentOf(app.logPath), error) || !WriteLog(app.logPath, app.log, error))
        return false;
    const std::string uninstallString = "C:\\WINDOWS\\uninstall.exe " + app.logPath;
    return CreateKeyWithValues(HKEY_LOCAL_MACHINE, app.UninstallKey(),
                               {{"DisplayName", app.name}, {"UninstallString", uninstallString}},
                               error) &&
           CreateKeyWithValues(HKEY_LOCAL_MACHINE, app.OtherUninstallKey(),
                               {{"DisplayName", app.otherAppName},
                                {"UninstallString", "C:\\WINDOWS\\uninstall.exe C:\\Other\\install.log"}},
                               error);
}

}  // namespace e2e
