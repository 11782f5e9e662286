// Compiles the Windows resource script with MinGW's windres, as the Windows build does, and
// reads the compiled resources back.
#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QStringList>
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

// The script names nothing by string, so every .res entry header is the fixed 32 bytes:
// sizes, ordinal type and id, data version, flags, language, version, characteristics.
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
        if (type == 0) continue;  // the empty lead entry
        // Italian, as the version record's string table.
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

// Version record nodes (length, value length, type, key, value, children, each part aligned
// to four bytes) as "path=value" lines; binary values as 32-bit words.
void Flatten(const QByteArray& d, qsizetype pos, const QString& parent, QStringList* out) {
    const qsizetype end = pos + U16(d, pos);
    if (end < pos + 6 || end > d.size()) return out->append("node overruns in " + parent);
    auto readz = [&](qsizetype* p, qsizetype limit) {
        QString s;
        for (; *p + 2 <= limit && U16(d, *p) != 0; *p += 2) s += QChar(char16_t(U16(d, *p)));
        *p += 2;
        return s;
    };
    const bool text = U16(d, pos + 4) == 1;
    qsizetype p = pos + 6;
    const QString path = parent + readz(&p, end);
    p = Align4(p);
    const qsizetype valueEnd = p + (text ? 2 : 1) * U16(d, pos + 2);
    if (valueEnd > end) return out->append("value overruns in " + path);
    QStringList words;
    for (qsizetype w = p; !text && w + 4 <= valueEnd; w += 4)
        words << QStringLiteral("%1").arg(U32(d, w), 8, 16, QChar('0'));
    out->append(path + '=' + (text ? readz(&p, valueEnd) : words.join(' ')));
    for (p = Align4(valueEnd); p + 6 <= end; p = Align4(p + qMax(U16(d, p), 6u)))
        Flatten(d, p, path + '/', out);
}

TEST(ResourceScript, VersionRecordHoldsExactlyTheWantedEntries) {
    const Resources res = Compile();
    ASSERT_GE(res.count({kRtVersion, 1}) ? res.at({kRtVersion, 1}).size() : 0, 6)
        << "no version record 1";
    QStringList lines;
    Flatten(res.at({kRtVersion, 1}), 0, {}, &lines);
    const QString root = "VS_VERSION_INFO", table = root + "/StringFileInfo/041004B0";
    const QStringList wanted{
        // Signature, layout 1.0, file and product version 1.0.0.0, flags mask, no flags
        // (debug, pre-release...), 32-bit NT, application, no subtype, no date.
        root +
            "=feef04bd 00010000 00010000 00000000 00010000 00000000 0000003f 00000000 "
            "00040004 00000001 00000000 00000000 00000000",
        root + "/StringFileInfo=",
        table + "=",
        table + "/FileVersion=1.00",
        table + "/InternalName=Duvix",
        table + "/OriginalFilename=Duvix.exe",
        table + "/ProductName=Duvix",
        table + "/ProductVersion=1.00",
        root + "/VarFileInfo=",
        root + "/VarFileInfo/Translation=04b00410",  // Italian, code page 1200 (UTF-16)
    };
    EXPECT_EQ(lines.join('\n').toStdString(), wanted.join('\n').toStdString());
}

}  // namespace
