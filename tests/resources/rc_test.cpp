// Compiles the Windows resource script with MinGW's windres and reads the compiled resources
// back: icon groups 1 and 2 hold the committed .ico images, and the version record holds
// exactly the wanted entries.
#include "IcoReader.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

namespace {

using icoreader::Has;
using icoreader::U16;
using icoreader::U32;

const QString kResources = QStringLiteral(DUVIX_RESOURCES_DIR);
constexpr quint32 kRtIcon = 3;
constexpr quint32 kRtGroupIcon = 14;
constexpr quint32 kRtVersion = 16;

qsizetype Align4(qsizetype p) { return (p + 3) & ~qsizetype(3); }

struct Resource {
    quint32 type = 0;  // ordinal; named types are not used here
    quint32 id = 0;    // ordinal
    QString name;      // when named by a string
    quint32 language = 0;
    QByteArray data;
};

// UTF-16 text up to its terminating zero; *end points past the zero.
QString ReadUtf16z(const QByteArray& d, qsizetype pos, qsizetype limit, qsizetype* end) {
    QString s;
    while (pos + 2 <= limit) {
        const quint32 c = U16(d, pos);
        pos += 2;
        if (c == 0) break;
        s.append(QChar(char16_t(c)));
    }
    *end = pos;
    return s;
}

// The .res container: a run of entries, each a header (size, type, name, flags, language)
// followed by its data, both padded to four bytes.
bool ParseRes(const QByteArray& f, std::vector<Resource>* out, QString* error) {
    qsizetype pos = 0;
    while (pos < f.size()) {
        if (!Has(f, pos, 8)) return *error = "truncated entry header", false;
        const quint32 dataSize = U32(f, pos);
        const quint32 headerSize = U32(f, pos + 4);
        if (!Has(f, pos, headerSize) || !Has(f, pos + headerSize, dataSize) || headerSize < 24)
            return *error = "entry runs past the end", false;
        Resource r;
        qsizetype p = pos + 8;
        auto readId = [&](quint32* id, QString* name) {
            if (U16(f, p) == 0xffff) {
                *id = U16(f, p + 2);
                p += 4;
            } else {
                *name = ReadUtf16z(f, p, pos + headerSize, &p);
            }
        };
        QString typeName;
        readId(&r.type, &typeName);
        readId(&r.id, &r.name);
        p = Align4(p);
        r.language = U16(f, p + 6);  // after DataVersion (4) and MemoryFlags (2)
        r.data = f.mid(pos + headerSize, dataSize);
        if (!typeName.isEmpty()) return *error = "unexpected named type " + typeName, false;
        if (dataSize != 0 || r.type != 0) out->push_back(r);  // skip the empty lead entry
        pos = Align4(pos + headerSize + dataSize);
    }
    return true;
}

struct Node {
    QString key;
    quint32 type = 0;  // 0 binary, 1 text
    QByteArray value;
    QString text;
    std::vector<Node> children;
};

// One node of the version record (length, value length, type, key, value, children), each
// part aligned to four bytes from the start of the record.
bool ParseNode(const QByteArray& d, qsizetype pos, qsizetype limit, Node* node, QString* error) {
    if (!Has(d, pos, 6)) return *error = "truncated node", false;
    const qsizetype length = U16(d, pos);
    const qsizetype valueLength = U16(d, pos + 2);
    node->type = U16(d, pos + 4);
    const qsizetype end = pos + length;
    if (length < 6 || end > limit) return *error = "node runs past its parent", false;
    qsizetype p = 0;
    node->key = ReadUtf16z(d, pos + 6, end, &p);
    p = Align4(p);
    const qsizetype valueBytes = node->type == 1 ? 2 * valueLength : valueLength;
    if (p + valueBytes > end) return *error = "value runs past node " + node->key, false;
    node->value = d.mid(p, valueBytes);
    if (node->type == 1) {
        qsizetype ignored = 0;
        node->text = ReadUtf16z(d, p, p + valueBytes, &ignored);
    }
    p = Align4(p + valueBytes);
    while (p + 6 <= end) {
        Node child;
        if (!ParseNode(d, p, end, &child, error)) return false;
        p = Align4(p + U16(d, p));
        node->children.push_back(std::move(child));
    }
    return true;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs windres the way a MinGW build would, with the host C preprocessor standing in for
// the MinGW compiler's, which the resource script does not need beyond plain #define.
std::vector<Resource> Compile() {
    const QString windres = QStringLiteral(DUVIX_WINDRES);
    const QString cpp = QStringLiteral(DUVIX_CPP);
    if (windres.isEmpty()) {
        ADD_FAILURE() << "x86_64-w64-mingw32-windres not found (Debian package "
                         "binutils-mingw-w64-x86-64)";
        return {};
    }
    if (cpp.isEmpty()) {
        ADD_FAILURE() << "cpp not found (Debian package cpp)";
        return {};
    }
    QTemporaryDir tmp;
    QProcess rc;
    rc.setWorkingDirectory(tmp.path());  // icon paths must resolve through the include path
    rc.start(windres, {"--preprocessor=" + cpp, "-I", kResources, "-i", kResources + "/duvix.rc",
                       "-O", "res", "-o", tmp.filePath("duvix.res")});
    if (!rc.waitForFinished(60000) || rc.exitStatus() != QProcess::NormalExit ||
        rc.exitCode() != 0) {
        ADD_FAILURE() << "windres failed: " << rc.readAllStandardError().toStdString();
        return {};
    }
    std::vector<Resource> resources;
    QString error;
    if (!ParseRes(ReadAll(tmp.filePath("duvix.res")), &resources, &error)) {
        ADD_FAILURE() << "bad .res: " << error.toStdString();
    }
    return resources;
}

TEST(ResourceScript, OnlyIconsAndTheVersionRecord) {
    const std::vector<Resource> res = Compile();
    ASSERT_FALSE(res.empty());
    std::map<quint32, int> perType;
    for (const Resource& r : res) {
        EXPECT_TRUE(r.name.isEmpty()) << "named resource " << r.name.toStdString();
        EXPECT_EQ(r.language, 0x0410u);
        ++perType[r.type];
    }
    EXPECT_EQ(perType, (std::map<quint32, int>{{kRtIcon, 16}, {kRtGroupIcon, 2}, {kRtVersion, 1}}));
}

TEST(ResourceScript, IconGroupsHoldTheIconFiles) {
    const std::vector<Resource> res = Compile();
    ASSERT_FALSE(res.empty());
    std::map<quint32, QByteArray> icons;
    for (const Resource& r : res) {
        if (r.type == kRtIcon) icons[r.id] = r.data;
    }
    const std::map<quint32, QString> groups{{1, "duvix.ico"}, {2, "viewer.ico"}};
    for (const auto& [groupId, file] : groups) {
        SCOPED_TRACE(file.toStdString());
        const Resource* group = nullptr;
        for (const Resource& r : res) {
            if (r.type == kRtGroupIcon && r.id == groupId) group = &r;
        }
        ASSERT_TRUE(group) << "no icon group " << groupId;
        QString error;
        const auto ico = icoreader::ParseIco(ReadAll(kResources + "/icons/" + file), &error);
        ASSERT_TRUE(ico) << error.toStdString();
        const QByteArray& g = group->data;
        ASSERT_TRUE(Has(g, 0, 6));
        ASSERT_EQ(U16(g, 4), ico->size());
        ASSERT_TRUE(Has(g, 6, 14 * qsizetype(ico->size())));
        for (size_t i = 0; i < ico->size(); ++i) {
            const qsizetype e =
                6 + 14 * qsizetype(i);  // like the file's entry, with an id for the offset
            const icoreader::Entry& want = (*ico)[i];
            EXPECT_EQ(int(icoreader::U8(g, e)), want.width);
            EXPECT_EQ(int(U16(g, e + 6)), want.bits);
            EXPECT_EQ(U32(g, e + 8), quint32(want.data.size()));
            const quint32 id = U16(g, e + 12);
            ASSERT_TRUE(icons.count(id)) << "group refers to missing icon " << id;
            EXPECT_TRUE(icons[id] == want.data) << "icon " << id << " differs from image " << i;
        }
    }
}

TEST(ResourceScript, VersionRecordHoldsExactlyTheWantedEntries) {
    const std::vector<Resource> res = Compile();
    const Resource* version = nullptr;
    for (const Resource& r : res) {
        if (r.type == kRtVersion) version = &r;
    }
    ASSERT_TRUE(version) << "no version record";
    EXPECT_EQ(version->id, 1u);
    Node root;
    QString error;
    ASSERT_TRUE(ParseNode(version->data, 0, version->data.size(), &root, &error))
        << error.toStdString();
    EXPECT_EQ(root.key, QStringLiteral("VS_VERSION_INFO"));

    const QByteArray& f = root.value;
    ASSERT_EQ(f.size(), 52) << "fixed file information";
    EXPECT_EQ(U32(f, 0), 0xFEEF04BDu);
    EXPECT_EQ(U32(f, 8), 0x00010000u) << "file version 1.0";
    EXPECT_EQ(U32(f, 12), 0x00000000u) << "file version .0.0";
    EXPECT_EQ(U32(f, 16), 0x00010000u) << "product version 1.0";
    EXPECT_EQ(U32(f, 20), 0x00000000u) << "product version .0.0";
    EXPECT_EQ(U32(f, 28), 0u) << "no flags (debug, pre-release...)";
    EXPECT_EQ(U32(f, 36), 1u) << "VFT_APP";

    ASSERT_EQ(root.children.size(), 2u);
    const Node& sfi = root.children[0];
    const Node& vfi = root.children[1];
    EXPECT_EQ(sfi.key, QStringLiteral("StringFileInfo"));
    ASSERT_EQ(sfi.children.size(), 1u) << "one string table";
    const Node& table = sfi.children[0];
    EXPECT_EQ(table.key.toUpper(), QStringLiteral("041004B0"));
    QMap<QString, QString> strings;
    for (const Node& s : table.children) {
        EXPECT_EQ(s.type, 1u) << s.key.toStdString();
        EXPECT_FALSE(strings.contains(s.key)) << "twice: " << s.key.toStdString();
        strings[s.key] = s.text;
    }
    const QMap<QString, QString> wanted{{"FileVersion", "1.00"},
                                        {"ProductVersion", "1.00"},
                                        {"ProductName", "Duvix"},
                                        {"InternalName", "Duvix"},
                                        {"OriginalFilename", "Duvix.exe"}};
    EXPECT_EQ(strings, wanted);

    EXPECT_EQ(vfi.key, QStringLiteral("VarFileInfo"));
    ASSERT_EQ(vfi.children.size(), 1u);
    EXPECT_EQ(vfi.children[0].key, QStringLiteral("Translation"));
    const QByteArray& t = vfi.children[0].value;
    ASSERT_EQ(t.size(), 4);
    EXPECT_EQ(U16(t, 0), 0x0410u) << "language";
    EXPECT_EQ(U16(t, 2), 1200u) << "Unicode code page";
}

}  // namespace
