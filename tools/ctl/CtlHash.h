// SHA-256 of a plan or profile, as the records name what was applied: a
// reader can hash the file on the shelf and find every unit it went to.
// Pure; any thread.
#pragma once

#include <string>

// 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

// Of the file's bytes; "" when it cannot be read (standard input "-" too,
// which the profile reader has taken).
std::string FileSha256(const std::string& path);
