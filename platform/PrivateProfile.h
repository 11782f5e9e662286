#pragma once
// Private-profile (INI) files: one value per section and key, as the desktop's own
// profile functions keep them. Text is stored as UTF-8.
#include <QString>

namespace platform {

// The value of key in section (names matched without regard to case), or defaultValue
// (trailing blanks removed) when the file, section or key is missing or the file is no
// regular file (a pipe or a device is never opened in a way that could block). At most
// capacity - 1 characters come back, as from a buffer of capacity characters with its
// terminator. An empty result means nothing was copied.
QString GetPrivateProfileText(const QString& section, const QString& key,
                              const QString& defaultValue, int capacity, const QString& file);

// Sets key in section to value, creating the file, section and key as needed and keeping
// every other section, key and comment. The file is replaced atomically, one writer at a time
// (a lock file beside it, waited for a few seconds at most). False when the file cannot be
// read or written, is no regular file, holds a NUL byte (what follows it could not be kept),
// or a name or value would not survive a round trip (line breaks, brackets, "=" in a key);
// the file is then left as it was.
bool WritePrivateProfileText(const QString& section, const QString& key, const QString& value,
                             const QString& file);

}  // namespace platform
