// The systemd unit that runs the program as its service, and the writing of
// paths and texts into unit files so that systemd reads back exactly what was
// meant. Failures answer false with the last-error value 87 (invalid
// parameter) and leave the output empty.
#pragma once

#include <string>

namespace orvanta::posix {

// The environment variable that points installation at another folder of
// units (the tests use it), and the folder the system manager reads by default.
constexpr const char* kUnitDirectoryVariable = "ORVANTA_SYSTEMD_UNIT_DIR";
constexpr const char* kSystemUnitDirectory = "/etc/systemd/system";

// An absolute path as one word of ExecStart= or ReadWritePaths=: '%' doubled
// (systemd would expand '%x' from the unit's own names), the whole in double
// quotes when it holds a blank. Refused: relative paths, and the quotes,
// backslashes and control characters that systemd does not take in the path
// of an executable.
bool UnitPathWord(const std::string& path, std::string& word);

// Free text for Description=: '%' doubled; line breaks and other control
// characters refused.
bool UnitText(const std::string& text, std::string& value);

// The whole unit of a service that runs executable (an absolute path, no
// quotes, no arguments) with systemd's notify protocol, started at boot and
// hardened: the right to set the clock and nothing else, a read-only system
// except the executable's folder, where the settings file lives.
bool ServiceUnitFile(const std::string& executable, const std::string& description, std::string& unit);

// unit with the Description= of its [Unit] section replaced, or added at the
// top of that section; a unit without a [Unit] section is refused.
bool WithDescription(const std::string& unit, const std::string& description, std::string& out);

}  // namespace orvanta::posix
