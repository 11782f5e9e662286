#include "platform/PrivateProfile.h"

#include "common/RegularFile.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QThread>

#include <string>

// Byte strings only: names and values are UTF-8 here and decoded by Qt.
#define SI_NO_CONVERSION
// Debian's header keeps the template bodies behind this switch; upstream's is header-only.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace platform {
namespace {

// Case-sensitive store: names are compared here with Unicode case folding, which the
// library's ASCII-only comparison cannot do.
using Ini = CSimpleIniTempl<char, SI_GenericCase<char>, SI_ConvertA<char>>;

constexpr char kNewLine[] = SI_NEWLINE_A;
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// How long a write waits for another writer of the same file before it gives up.
constexpr int kLockWaitMs = 10'000;

enum class LoadResult { Missing, Loaded, Failed };

struct FileText {
    QByteArray text;  // without signature, cut at the first NUL as the parser sees it
    bool signature = false;
    bool cut = false;  // bytes after a NUL, which a rewrite could not keep
};

FileText Split(const QByteArray& bytes) {
    FileText out;
    out.text = bytes;
    if (out.text.startsWith(kUtf8Bom)) {
        out.signature = true;
        out.text.remove(0, 3);
    }
    const qsizetype nul = out.text.indexOf('\0');
    if (nul >= 0) {
        out.text.truncate(nul);
        out.cut = true;
    }
    return out;
}

LoadResult ReadFileText(const QString& file, FileText& out) {
    if (file.isEmpty()) {
        return LoadResult::Failed;
    }
    QFile f;
    switch (regularfile::OpenForReading(f, file)) {
        case regularfile::Opened::Yes: break;
        case regularfile::Opened::Missing:
            // A link to nothing is not a missing file: writing would replace the link.
            return QFileInfo(file).isSymLink() ? LoadResult::Failed : LoadResult::Missing;
        case regularfile::Opened::NotRegular:  // a folder, a pipe, a device
        case regularfile::Opened::Failed: return LoadResult::Failed;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        return LoadResult::Failed;
    }
    out = Split(bytes);
    return LoadResult::Loaded;
}

// Writers of one file take turns, so each read-modify-replace sees the one before it. The
// lock lies beside the file a link points to, where the replacement is made.
QString LockPath(const QString& file) {
    const QFileInfo info(file);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : file;
    return target + QStringLiteral(".lock");
}

// Tried in short steps of our own: QLockFile's wait doubles its pause up to seconds, and a writer
// that takes the lock again at once is then seen holding it every time. On Windows a lock file
// the other writer has just removed can still be pending deletion, and creating it then fails
// as if permission were missing: that is tried again too, while the folder can be written.
bool TakeLock(QLockFile& lock, const QString& file) {
    const QDeadlineTimer deadline(kLockWaitMs);
    for (;;) {
        if (lock.tryLock(0)) return true;
        const bool mayFree = lock.error() == QLockFile::LockFailedError ||
                             (lock.error() == QLockFile::PermissionError &&
                              QFileInfo(QFileInfo(file).absolutePath()).isWritable());
        if (!mayFree || deadline.hasExpired()) return false;
        QThread::msleep(2);
    }
}

// Parses text from which the signature was already taken. The library would take a
// second one as well; a leading line break (skipped as a blank) keeps those bytes.
bool Load(Ini& ini, const QByteArray& text) {
    const QByteArray guarded = text.startsWith(kUtf8Bom) ? '\n' + text : text;
    return ini.LoadData(guarded.constData(), static_cast<size_t>(guarded.size())) >= 0;
}

// Files written by older tools may hold the local 8-bit encoding; keep those readable.
QString Decode(const char* bytes) {
    const QByteArrayView view(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLocal8Bit(view);
}

bool SameName(const char* stored, const QString& wanted) {
    return Decode(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The first section (in file order) whose name matches, or null.
const char* FindSection(const Ini& ini, const QString& section) {
    Ini::TNamesDepend sections;
    ini.GetAllSections(sections);
    const Ini::Entry* best = nullptr;
    for (const Ini::Entry& entry : sections) {
        if (SameName(entry.pItem, section) && (best == nullptr || entry.nOrder < best->nOrder)) {
            best = &entry;
        }
    }
    return best != nullptr ? best->pItem : nullptr;
}

// The first entry (in file order) whose key matches: its stored key name and value.
bool FindKey(const Ini& ini, const char* section, const QString& key, const char*& storedKey,
             const char*& value) {
    const Ini::TKeyVal* entries = ini.GetSection(section);
    if (entries == nullptr) {
        return false;
    }
    int bestOrder = 0;
    bool found = false;
    for (const auto& [entry, text] : *entries) {
        if (SameName(entry.pItem, key) && (!found || entry.nOrder < bestOrder)) {
            found = true;
            bestOrder = entry.nOrder;
            storedKey = entry.pItem;
            value = text;
        }
    }
    return found;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Where the text after the last entry starts, found by walking it the way the parser
// does. The parser keeps a comment only together with the entry that follows it, so
// comments at the end would be lost on saving. -1 when the text holds no entry at all.
qsizetype TailStart(const QByteArray& text) {
    const qsizetype size = text.size();
    qsizetype pos = 0;
    qsizetype tail = -1;
    const auto toLineEnd = [&] {
        while (pos < size && !IsLineBreak(text[pos])) {
            ++pos;
        }
    };
    const auto afterLineBreak = [&] {
        if (pos < size) {
            pos += (text[pos] == '\r' && pos + 1 < size && text[pos + 1] == '\n') ? 2 : 1;
        }
        return pos;
    };
    while (pos < size) {
        while (pos < size && IsBlank(text[pos])) {
            ++pos;
        }
        if (pos == size) {
            break;
        }
        const char c = text[pos];
        if (c == ';' || c == '#') {
            toLineEnd();
            continue;
        }
        if (c == '[') {
            // Blank lines after "[" belong to the name, as the parser reads it.
            ++pos;
            while (pos < size && IsBlank(text[pos])) {
                ++pos;
            }
            while (pos < size && text[pos] != ']' && !IsLineBreak(text[pos])) {
                ++pos;
            }
            if (pos == size || text[pos] != ']') {
                continue;
            }
            toLineEnd();
            tail = afterLineBreak();
            continue;
        }
        const qsizetype keyStart = pos;
        while (pos < size && text[pos] != '=' && !IsLineBreak(text[pos])) {
            ++pos;
        }
        if (pos == size || text[pos] != '=') {
            continue;  // a line without "=" is no entry
        }
        const bool emptyKey = pos == keyStart;
        toLineEnd();
        if (!emptyKey) {
            tail = afterLineBreak();
        }
    }
    return tail;
}

bool HasAny(const QString& text, const char* characters) {
    for (const char* c = characters; *c != '\0'; ++c) {
        if (text.contains(QLatin1Char(*c))) {
            return true;
        }
    }
    return text.contains(QChar(0));
}

QString Truncated(const QString& text, int capacity) {
    if (capacity <= 1) {
        return {};
    }
    const qsizetype limit = capacity - 1;
    if (text.size() <= limit) {
        return text;
    }
    QString cut = text.left(limit);
    if (cut.back().isHighSurrogate()) {
        cut.chop(1);  // never hand back half a character
    }
    return cut;
}

// Spaces and tabs only: the same blanks the parser trims from names and values.
QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

QString WithoutTrailingBlanks(QString text) {
    while (!text.isEmpty() &&
           (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t'))) {
        text.chop(1);
    }
    return text;
}

QString WithoutEnclosingQuotes(QString text) {
    if (text.size() >= 2 && text.front() == text.back() &&
        (text.front() == QLatin1Char('"') || text.front() == QLatin1Char('\''))) {
        return text.sliced(1, text.size() - 2);
    }
    return text;
}

}  // namespace

QString GetPrivateProfileText(const QString& section, const QString& key,
                              const QString& defaultValue, int capacity, const QString& file) {
    const QString fallback = Truncated(WithoutTrailingBlanks(defaultValue), capacity);
    FileText content;
    if (ReadFileText(file, content) != LoadResult::Loaded) {
        return fallback;
    }
    Ini ini(true, true, false);
    if (!Load(ini, content.text)) {
        return fallback;
    }
    const char* storedSection = FindSection(ini, TrimBlanks(section));
    const char* storedKey = nullptr;
    const char* value = nullptr;
    if (storedSection == nullptr ||
        !FindKey(ini, storedSection, TrimBlanks(key), storedKey, value) || value == nullptr) {
        return fallback;
    }
    return Truncated(WithoutEnclosingQuotes(Decode(value)), capacity);
}

bool WritePrivateProfileText(const QString& section, const QString& key, const QString& value,
                             const QString& file) {
    const QString sectionName = TrimBlanks(section);
    const QString keyName = TrimBlanks(key);
    // Anything that would read back as a different section, key or value is refused.
    if (sectionName.isEmpty() || HasAny(sectionName, "\r\n]") || keyName.isEmpty() ||
        HasAny(keyName, "\r\n=") || keyName.front() == QLatin1Char(';') ||
        keyName.front() == QLatin1Char('#') || keyName.front() == QLatin1Char('[') ||
        HasAny(value, "\r\n")) {
        return false;
    }

    if (file.isEmpty()) {
        return false;
    }
    QLockFile lock(LockPath(file));
    if (!TakeLock(lock, file)) {
        return false;
    }
    FileText content;
    if (ReadFileText(file, content) == LoadResult::Failed || content.cut) {
        return false;  // never replace a file that could not be read, or read whole
    }
    const QByteArray sectionBytes = sectionName.toUtf8();
    const QByteArray keyBytes = keyName.toUtf8();
    const QByteArray valueBytes = value.toUtf8();
    const qsizetype tailStart = TailStart(content.text);

    // keepAll: also keep what the parser would drop (trailing comments, a file without
    // entries). Otherwise the parser's own rendering, as a fallback for files so odd that
    // the kept text would change what the new entry reads as.
    const auto compose = [&](bool keepAll, QByteArray& body) {
        Ini ini(true, true, false);
        ini.SetSpaces(false);
        if (!Load(ini, content.text)) {
            return false;
        }
        const char* storedSection = FindSection(ini, sectionName);
        const bool appendSection = keepAll && storedSection == nullptr;
        if (!appendSection) {
            const char* storedKey = keyBytes.constData();
            const char* oldValue = nullptr;
            if (storedSection != nullptr) {
                FindKey(ini, storedSection, keyName, storedKey, oldValue);
            }
            const char* target =
                storedSection != nullptr ? storedSection : sectionBytes.constData();
            if (ini.SetValue(target, storedKey, valueBytes.constData(), nullptr, true) < 0) {
                return false;
            }
        }
        if (keepAll && tailStart < 0) {
            body = content.text;  // nothing the parser would rewrite: keep every byte
        } else {
            std::string saved;
            if (ini.Save(saved, false) < 0) {
                return false;
            }
            body = QByteArray::fromStdString(saved);
            if (keepAll) {
                body += content.text.sliced(tailStart);
            }
        }
        if (appendSection) {
            if (!body.isEmpty()) {
                if (!body.endsWith('\n') && !body.endsWith('\r')) {
                    body += kNewLine;
                }
                body += kNewLine;
            }
            body += '[' + sectionBytes + ']' + kNewLine + keyBytes + '=' + valueBytes + kNewLine;
        }
        return true;
    };
    // The new entry must read back as written, whatever else the file holds.
    const auto readsBack = [&](const QByteArray& body) {
        Ini ini(true, true, false);
        const QByteArray written = content.signature ? kUtf8Bom + body : body;
        if (!Load(ini, Split(written).text)) {
            return false;
        }
        const char* storedSection = FindSection(ini, sectionName);
        const char* storedKey = nullptr;
        const char* stored = nullptr;
        return storedSection != nullptr &&
               FindKey(ini, storedSection, keyName, storedKey, stored) && stored != nullptr &&
               Decode(stored) == TrimBlanks(value);
    };
    QByteArray body;
    if (!compose(true, body) || !readsBack(body)) {
        if (!compose(false, body) || !readsBack(body)) {
            return false;
        }
    }
    if (content.signature) {
        body.prepend(kUtf8Bom);
    }

    // A crash or a full disk leaves the old file, never half of the new one.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (out.write(body) != body.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace platform
