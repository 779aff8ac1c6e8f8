// Where the diagnostic role's lines go. orvanta.exe is a windowed program
// and has no console of its own: its standard output is used when it leads
// somewhere (a file, a pipe, Wine's terminal), and otherwise the console of
// the program that started it (cmd, PowerShell). Elsewhere standard output
// is there already.
#pragma once

namespace orvanta {

void UseCallerConsole();

}  // namespace orvanta
