// The words of the command line, defined once. They are compared without
// regard to case.
#pragma once

namespace orvanta {

constexpr const char* kWordOptions = "options";
constexpr const char* kWordOnce = "once";
constexpr const char* kWordInstall = "installme";
constexpr const char* kWordUninstall = "uninstallme";
constexpr const char* kWordDebug = "debug";
constexpr const char* kWordQuery = "query";
constexpr const char* kWordInstaller = "/I";

// The platform's installer program, handed "/I" and the package.
constexpr const char* kInstallerCommandFormat = "MsiExec.exe %s %s";

constexpr const char* kApplicationTitle = "Orvanta";

constexpr const char* kQueryUsage = "usage: orvanta query [HOST...]";

}  // namespace orvanta
