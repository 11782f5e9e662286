#pragma once
// Paths to the test pictures; fail loudly when they are missing.
#include <QByteArray>
#include <QString>

#include <vector>

namespace testfiles {

// The folder of third-party pictures with MANIFEST.tsv; ADD_FAILURE when absent.
QString CorpusDir();
// The manifest's rows for one format ("bmp", "gif", "jpeg", "wmf"): each picture's path and
// its note, which starts with the expectation (valid, edge, invalid, reference).
struct CorpusRow {
    QString path;
    QString note;
};
std::vector<CorpusRow> CorpusRows(const QString& format);
// Small pictures kept with the tests.
QString DataDir();
// Writes a solid-colour picture in the given format ("bmp", "jpg", "png") and returns its path.
QString WriteSolidPicture(const QString& folder, const QString& name, int w, int h,
                          unsigned rgb = 0x3366cc);

// A file's bytes, empty when it cannot be read; and a file made of the given bytes.
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);

}  // namespace testfiles
