// Compiles the Windows resource script with MinGW's windres and reads the resources back.
#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <map>

namespace {

const QString kResources = QStringLiteral(DUVIX_RESOURCES_DIR);
constexpr quint32 kRtIcon = 3, kRtGroupIcon = 14, kRtVersion = 16;

quint32 U16(const QByteArray& b, qsizetype p) { return qFromLittleEndian<quint16>(b.data() + p); }
quint32 U32(const QByteArray& b, qsizetype p) { return qFromLittleEndian<quint32>(b.data() + p); }
qsizetype Align4(qsizetype p) { return (p + 3) & ~qsizetype(3); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Resources = std::map<std::pair<quint32, quint32>, QByteArray>;  // by type and id

// Nothing is named by string, so every .res entry header is the fixed 32 bytes.
Resources Compile() {
    QTemporaryDir tmp;
    QProcess rc;
    rc.setWorkingDirectory(tmp.path());  // icon paths must resolve through the include path
    // The host preprocessor stands in for MinGW's: the script uses nothing but #define.
    rc.start(QStringLiteral(DUVIX_WINDRES),
             {"--preprocessor=" DUVIX_CPP, "-I", kResources, "-i", kResources + "/duvix.rc", "-O",
              "res", "-o", tmp.filePath("duvix.res")});
    if (!rc.waitForFinished(60000) || rc.exitStatus() || rc.exitCode()) {
        ADD_FAILURE() << "windres failed (Debian packages binutils-mingw-w64-x86-64, cpp): "
                      << rc.errorString().toStdString() << rc.readAllStandardError().toStdString();
        return {};
    }
    const QByteArray f = ReadAll(tmp.filePath("duvix.res"));
    Resources out;
    qsizetype pos = 0;
    for (; pos + 32 <= f.size(); pos = Align4(pos + 32 + U32(f, pos))) {
        if (U32(f, pos + 4) != 32 || U16(f, pos + 8) != 0xffff || U16(f, pos + 12) != 0xffff ||
            pos + 32 + U32(f, pos) > f.size()) {
            ADD_FAILURE() << "named or damaged resource at byte " << pos;
            return {};
        }
        const quint32 type = U16(f, pos + 10), id = U16(f, pos + 14);
        if (type == 0) continue;  // the empty lead entry; the rest are Italian, as the strings
        EXPECT_EQ(U16(f, pos + 22), 0x0410u) << "language of type " << type << " id " << id;
        EXPECT_TRUE(out.insert({{type, id}, f.mid(pos + 32, U32(f, pos))}).second) << "twice";
    }
    EXPECT_EQ(pos, f.size()) << "truncated .res";
    return out;
}

// A group is the .ico directory with icon ids in place of file offsets. Putting the images
// back must give the committed file byte for byte, as it keeps its images in directory order.
TEST(ResourceScript, TwoIconGroupsRebuildTheIconFilesAndOneVersionRecordIsAllElse) {
    const Resources res = Compile();
    std::map<quint32, int> perType;
    for (const auto& entry : res) ++perType[entry.first.first];
    EXPECT_EQ(perType, (std::map<quint32, int>{{kRtIcon, 16}, {kRtGroupIcon, 2}, {kRtVersion, 1}}));
    for (const auto& [groupId, file] : {std::pair(1u, "duvix.ico"), std::pair(2u, "viewer.ico")}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(res.count({kRtGroupIcon, groupId})) << "no icon group " << groupId;
        const QByteArray& g = res.at({kRtGroupIcon, groupId});
        const int n = int(g.size() - 6) / 14;  // the count is in the header rebuilt below
        ASSERT_EQ(g.size(), 6 + 14 * n);
        QByteArray ico = g.left(6), images;
        for (int i = 0; i < n; ++i) {
            const auto icon = res.find({kRtIcon, U16(g, 6 + 14 * i + 12)});
            ASSERT_NE(icon, res.end()) << "group entry " << i << " refers to a missing icon";
            ico += g.mid(6 + 14 * i, 12) + QByteArray(4, 0);
            qToLittleEndian(quint32(6 + 16 * n + images.size()), ico.data() + ico.size() - 4);
            images += icon->second;
        }
        EXPECT_TRUE(ico + images == ReadAll(kResources + "/icons/" + file));
    }
}

// What Explorer's Details tab shows: the fixed file and product version, and the strings.
TEST(ResourceScript, VersionRecordNamesTheProductAndItsVersion) {
    const Resources res = Compile();
    ASSERT_TRUE(res.count({kRtVersion, 1})) << "no version record 1";
    const QByteArray& v = res.at({kRtVersion, 1});
    const qsizetype fixed = v.indexOf(QByteArray::fromHex("bd04effe"));
    ASSERT_GE(fixed, 0);
    EXPECT_EQ(v.mid(fixed + 8, 16).toHex(), "00000100000000000000010000000000") << "not 1.0.0.0";
    // Keys and values as UTF-16 text, with the terminators and padding between them as one '|';
    // a key follows its node's type, 1 for text and 0 for binary.
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(v.data()), v.size() / 2);
    text.replace(QRegularExpression(QStringLiteral("\\x{0}+")), QStringLiteral("|"));
    // The string table's language and code page must be the ones the translation list names.
    for (QStringView entry :
         {u"\u0001041004B0|", u"\u0001ProductName|Duvix|", u"|Translation|\u0410\u04b0",
          u"\u0001ProductVersion|1.00|", u"\u0001FileVersion|1.00|"})
        EXPECT_TRUE(text.contains(entry)) << entry.toString().toStdString();
}

}  // namespace
