// A test application as the setup program would leave it installed: files
// with long names in nested folders, an entry under the Uninstall key beside
// another application's entry, and the install log that lists it all.
#ifndef E2E_SUPPORT_TEST_APP_H
#define E2E_SUPPORT_TEST_APP_H

#include <string>
#include <vector>

#include "install_log.h"

namespace e2e {

struct TestApp {
    std::string name;                      // the application's name in the log
    std::string folder;                    // all of it lies below this folder
    std::string logPath;
    std::vector<std::string> files;        // listed files, in log order
    std::vector<std::string> directories;  // listed folders, in log order (deepest first)
    std::string otherAppName;              // another application, whose entry must stay
    std::vector<LogRecord> log;

    std::string UninstallKey() const;      // under HKEY_LOCAL_MACHINE
    std::string OtherUninstallKey() const;
};

// The layout of an application called name whose files lie below folder:
//   <folder>\Program Files Long Name\<name>\...      three levels of folders
//   <folder>\Setup Log\install.log                   the log, not listed in itself
// The log holds the name record, the folders (deepest first), the files, and
// records with no action (types 3 and 6 and the unknown type 9) among them.
TestApp DescribeApp(const std::string &folder, const std::string &name);

// Creates the files and folders, both Uninstall entries and the log, after
// removing whatever an earlier run left of them. Nothing else in the folder
// is touched.
bool InstallApp(const TestApp &app, std::string *error);

// What a file of the application holds; the log's bytes are LogBytes(log).
std::string FileContent(const std::string &path);

}  // namespace e2e

#endif
