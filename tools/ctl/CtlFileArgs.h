// The one rule for every file the user names on the command line (--record,
// --trace, --plan, --settings, the profile of save and apply): the name is
// not empty, and it holds no control character, since a name with a line
// break or a NUL reads as another file to a reviewer than the one the
// system opens. What the file itself must be is checked where it is opened
// (CRecordFile::Open, the profile and plan readers), before anything is
// sent. Pure; main thread.
#pragma once

#include <string>

// "" when name may be used for option (as the user wrote it, "--record"),
// else the message of the usage error.
std::string FileNameProblem(const std::string& option, const std::string& name);

// Whether text holds a control character (0x00-0x1F, 0x7F).
bool HasControlCharacter(const std::string& text);
