// Private-profile (INI) text: look-up and editing on a file's whole text.
//
// Pure functions on bytes, with no file access, so the rules can be tested
// and fuzzed apart from the disk. The rules follow what a settings file
// carried over from Windows or edited by hand expects:
//  - a line "[name]" opens a section ("[name" without "]" opens none);
//    "key=value" lines belong to the last opened section; lines before the
//    first section belong to none;
//  - names compare case-insensitively (ASCII); blanks (space, tab, vertical
//    tab, form feed, 0x1A) around names, around "=" and at line ends are
//    ignored;
//  - a line without "=" names a key whose value is empty, and setting that
//    key gives the same line its value; a key's name ends at a NUL;
//  - the first matching section and, in it, the first matching key win;
//    a later section of the same name is not looked at;
//  - lines end in LF, CR LF or a lone CR; a leading UTF-8 byte-order mark
//    is skipped; a value ends at a NUL byte;
//  - a line whose first non-blank byte is ';' is a comment.
// Where these differ from the Windows private-profile functions, the
// difference is deliberate (ProfileCompatWin32Test lists each one).
// An edit keeps every byte except the value text it replaces; it only adds
// whole lines (and a line break to a last line that lacks one). Time is linear in the text's
// length.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The value text of key in section: blanks around it removed and one pair of
// matching surrounding quotes ("..." or '...') dropped. nullopt when the
// section or the key is missing.
std::optional<std::string> ProfileFindValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// Every key of the first section named section, in file order, a repeated
// key given once with its first value. Empty when the section is missing.
std::vector<std::pair<std::string, std::string>> ProfileSectionEntries(std::string_view text,
                                                                       std::string_view section);

// Reads a value as an integer: an optional sign, an optional "0x", "0o" or
// "0b" (lower case) for base 16, 8 or 2, and the digits up to the first other
// byte ("42abc" -> 42, "abc" -> 0, "-" -> 0, "0x1F" -> 31, "010" -> 10). An
// empty value gives fallback. Numbers beyond the int range wrap modulo 2^32
// as the platform's reader has them ("2147483648" -> INT_MIN,
// "4294967295" -> -1).
int ProfileParseInt(std::string_view value, int fallback);

// The text with key in section set to value: the value of the key that
// ProfileFindValue would find is replaced in place; otherwise the key is
// added after the last key line of the first matching section (right after
// its header when it has none); otherwise the section and the key are added
// at the end. New lines take the text's line ending (that of its first line;
// newLineBreak for a text without any). nullopt when a name or the value could not be
// stored and read back as given: an empty name, a line break anywhere, "]" in
// the section name, "=" in the key, a key starting with ';' or '['.
std::optional<std::string> ProfileSetValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value,
                                           std::string_view newLineBreak = "\n");

// How a settings file's bytes hold its text. Notepad, PowerShell and the
// platform's own functions also keep settings files in UTF-16 with its mark
// (little-endian, or big-endian from Notepad's "Unicode big endian"); such
// a file is read and written back in the same UTF-16.
enum class ProfileEncoding { kBytes, kUtf16Le, kUtf16Be };

// The text of a file's bytes as the rules above read it: a file that opens
// with a UTF-16 mark (FF FE, FE FF) becomes UTF-8 without the mark; any
// other file is taken as it is. false, so that the file is neither used nor
// rewritten, for UTF-16 that does not decode (odd length, a lone
// surrogate).
bool ProfileDecode(std::string_view raw, std::string* text, ProfileEncoding* encoding);
// The bytes to store text in the given encoding. false when text cannot be
// stored so (not UTF-8 for a UTF-16 file).
bool ProfileEncode(std::string_view text, ProfileEncoding encoding, std::string* raw);
