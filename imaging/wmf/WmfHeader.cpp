#include "imaging/wmf/WmfHeader.h"

#include "imaging/wmf/WmfPlayer.h"
#include "imaging/wmf/WmfReader.h"

namespace imaging::wmf {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableBytes = 22;
constexpr qsizetype kHeaderWords = 9;
constexpr qsizetype kEndRecordWords = 3;

Params View(const QByteArray& bytes, qsizetype offset) {
    if (offset > bytes.size()) return {};
    return Params(reinterpret_cast<const uchar*>(bytes.constData()) + offset,
                  bytes.size() - offset);
}

bool PlainHeaderFields(const Params& p) {
    const uint16_t type = p.u16(0), words = p.u16(1), version = p.u16(2);
    return (type == 1 || type == 2) && words == kHeaderWords &&
           (version == 0x0100 || version == 0x0300);
}

}  // namespace

bool LooksLikeWmf(const QByteArray& head) {
    const Params p = View(head, 0);
    if (p.has(2) && p.u32(0) == kPlaceableKey) return true;
    return p.has(3) && PlainHeaderFields(p);
}

std::optional<Header> ParseHeader(const QByteArray& bytes, QString* error) {
    auto fail = [error](const char* why) -> std::optional<Header> {
        if (error) *error = QString::fromLatin1(why);
        return std::nullopt;
    };
    Header h;
    Params p = View(bytes, 0);
    if (p.has(2) && p.u32(0) == kPlaceableKey) {
        if (!p.has(kPlaceableBytes / 2)) return fail("metafile: placeable header is cut short");
        h.placeable = true;
        h.frameOrigin = QPoint(p.i16(3), p.i16(4));
        h.frameExtent = QPoint(p.i16(5) - p.i16(3), p.i16(6) - p.i16(4));
        h.unitsPerInch = p.u16(7);
        h.firstRecord = kPlaceableBytes;
        p = View(bytes, kPlaceableBytes);
    }
    if (!p.has(kHeaderWords))
        return fail(h.placeable ? "metafile: header is cut short" : "not a metafile");
    if (!PlainHeaderFields(p)) return fail("metafile: unknown header type, size or version");
    // The file size (in words) may overstate the data, but one below header plus end record is
    // corrupt; exactly the header size is what some writers put for an empty picture.
    const uint32_t sizeWords = p.u32(3);
    if (sizeWords < uint32_t(kHeaderWords) ||
        (sizeWords > uint32_t(kHeaderWords) &&
         sizeWords < uint32_t(kHeaderWords + kEndRecordWords)))
        return fail("metafile: file size field is too small");
    if (sizeWords > uint32_t(kHeaderWords) && !p.has(kHeaderWords + kEndRecordWords))
        return fail("metafile: no records after the header");
    h.objectCount = p.u16(5);
    h.firstRecord += kHeaderWords * 2;
    return h;
}

}  // namespace imaging::wmf
