// Parameter profiles: the unit's four parameters in a small INI file,
// section "parameters", keys "channel", "id", "retry_count" (-1 for infinite
// retry) and "retry_interval", read and written with the settings layer's
// text rules. Also the window's ranges, which every value sent must meet.
// Pure functions but for the file access; main thread.
#pragma once

#include <string>

#include "ParamReply.h"

inline constexpr const char* kProfileSection = "parameters";

// "" when all four values lie in the window's ranges (channel 7-46, ID 0-15,
// retry count 0-10000 or -1, interval 0-32767), else the window's text, the
// first value outside and its range.
std::string CheckParamRanges(const UnitParams& params);

// A whole decimal number, an optional minus sign, nothing else; false when
// it is not one or does not fit an int.
bool ParseStrictInt(const std::string& text, int* value);

// The profile name that stands for standard input (apply) or output (save).
bool IsStandardStream(const std::string& path);

// Reads the profile at path ("-": standard input), in the bytes or the
// UTF-16 the settings layer reads. False with a message naming the file and
// the fault (missing, a directory, too large, not a text file, [parameters]
// or one of its keys twice, a key missing, not a number, out of range).
bool ReadProfile(const std::string& path, UnitParams* params, std::string* error);
// The same on a profile's text; name is for the messages.
bool ParseProfile(const std::string& text, const std::string& name, UnitParams* params,
                  std::string* error);

// Whether save may write path, checked before the unit is asked: standard
// output, a new file in an existing folder, or a text profile. False with
// a message; a file that is not a text INI (binary, a program) is refused.
bool CheckProfileDestination(const std::string& path, std::string* error);

// Sets the four keys in the file at path (other content and its encoding
// are kept) and replaces the file in one step, so that a reader never sees
// half a profile; "-" prints the profile instead. False with a message; the
// old file is then untouched.
bool WriteProfile(const std::string& path, const UnitParams& params, std::string* error);

// Without its leading and trailing blanks (spaces and tabs), as INI values
// and CSV fields are read.
std::string TrimBlanks(const std::string& s);
// With A-Z as a-z: key and column names, whatever the locale.
std::string AsciiLower(std::string s);
