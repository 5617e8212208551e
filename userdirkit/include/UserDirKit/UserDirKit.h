/* UserDirKit: the per-user application folder and the few file-system
 * operations the settings location needs. A C ABI shared library
 * (libUserDirKit.so, UserDirKit.dll imported at start-up through its import
 * library), so that another build can swap it. Texts are UTF-8 on every
 * system; the Windows build converts at its W calls.
 *
 * Every text argument is a NUL-terminated byte string; nothing is kept between
 * calls, so the functions may be called from any thread (they read the
 * environment, which the caller must not change at the same time). */
#ifndef USERDIRKIT_H
#define USERDIRKIT_H

#ifdef __cplusplus
extern "C" {
#endif

/* UDK_BUILDING is set while the library itself is compiled. */
#if defined(_WIN32)
#if defined(UDK_BUILDING)
#define UDK_API __declspec(dllexport)
#else
#define UDK_API __declspec(dllimport)
#endif
#define UDK_CALL __cdecl
#else
#define UDK_API __attribute__((visibility("default")))
#define UDK_CALL
#endif

/* 1 when a file (not a folder) exists at path, symbolic links followed;
 * else 0 (a null path included). */
UDK_API int UDK_CALL udk_FileExists(const char* path);

/* Writes the per-user application folder into buffer. POSIX:
 * $XDG_CONFIG_HOME when set and absolute, else $HOME/.config when $HOME is
 * set and absolute. Windows: the roaming application-data folder, after a
 * check that the system is Windows 7 SP1 or later. No trailing separator is
 * added. Returns the text's length, or -1 when the folder (or on Windows the
 * system version) cannot be had, when buffer is null, or when the text with
 * its NUL does not fit size (then buffer holds an empty text when size > 0). */
UDK_API int UDK_CALL udk_GetUserAppFolder(char* buffer, int size);

/* Creates folder and its parents as needed (a trailing separator is fine).
 * 0 when the folder exists afterwards (already existing included), -1 on
 * failure, for example when a component of the path is a file. */
UDK_API int UDK_CALL udk_MakeFolder(const char* folder);

#ifdef __cplusplus
}
#endif

#endif
