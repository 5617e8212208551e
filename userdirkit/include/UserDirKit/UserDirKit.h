/* UserDirKit: the per-user application folder and the few file-system
 * operations the settings location needs. A C ABI shared library, so that a
 * program can load it by name and another build can swap it. */
#ifndef USERDIRKIT_H
#define USERDIRKIT_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define UDK_API __declspec(dllexport)
#else
#define UDK_API __attribute__((visibility("default")))
#endif

/* 1 when a file (not a folder) exists at path, else 0. */
UDK_API int udk_FileExists(const char* path);

/* Writes the per-user application folder into buffer: $XDG_CONFIG_HOME when
 * set and absolute, else $HOME/.config. Returns its length, or -1 when
 * neither can be had or the text with its NUL does not fit size. */
UDK_API int udk_GetUserAppFolder(char* buffer, int size);

/* Creates folder and its parents as needed. 0 when the folder exists
 * afterwards (already existing included), nonzero on failure. */
UDK_API int udk_MakeFolder(const char* folder);

#ifdef __cplusplus
}
#endif

#endif
