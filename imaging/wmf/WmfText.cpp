// TextOut and ExtTextOut: font mapping, code pages, alignment, background and spacing.
#include <QFontMetricsF>
#include <QStringDecoder>
#include <cmath>

#include "imaging/wmf/WmfPlayback.h"
#include "imaging/wmf/WmfRecords.h"
#include "imaging/wmf/WmfSymbolFonts.h"

namespace imaging::wmf {
namespace {

enum : uint16_t { kTaUpdateCp = 1, kTaRight = 2, kTaCenter = 6, kTaBottom = 8, kTaBaseline = 24 };
enum : uint16_t { kEtoOpaque = 2, kEtoClipped = 4, kEtoPdy = 0x2000 };
constexpr qsizetype kMaxTextBytes = 4096;  // far beyond any real line of text

const char* CodePage(uint8_t charset) {
    switch (charset) {
        case 77: return "macintosh";
        case 128: return "Shift_JIS";
        case 129:
        case 130: return "windows-949";
        case 134: return "GBK";
        case 136: return "Big5";
        case 161: return "windows-1253";
        case 162: return "windows-1254";
        case 163: return "windows-1258";
        case 177: return "windows-1255";
        case 178: return "windows-1256";
        case 186: return "windows-1257";
        case 204: return "windows-1251";
        case 222: return "windows-874";
        case 238: return "windows-1250";
        case 255: return "IBM437";
        default: return "windows-1252";
    }
}

bool DoubleByte(uint8_t charset, uchar lead) {
    if (charset == 128) return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return (charset == 129 || charset == 130 || charset == 134 || charset == 136) && lead >= 0x81 &&
           lead <= 0xFE;
}

// The Symbol font's code page: Greek letters, operators and bracket pieces.
char16_t SymbolChar(uchar c) {
    static const char16_t kUpper[] = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";
    static const char16_t kLower[] = u"αβχδεφγηιϕκλμνοπθρστυϖωξψζ";
    static const char16_t kHigh[] =
        u"€ϒ′≤⁄∞ƒ♣♦♥♠↔←↑→↓°±″≥×∝∂•÷≠≡≈…⏐⎯↵ℵℑℜ℘⊗⊕∅∩∪⊃⊇⊄⊂⊆∈∉"
        u"∠∇®©™∏√⋅¬∧∨⇔⇐⇑⇒⇓◊〈®©™∑⎛⎜⎝⎡⎢⎣⎧⎨⎩⎪ 〉∫⌠⎮⌡⎞⎟⎠⎤⎥⎦⎫⎬⎭ ";
    static_assert(sizeof(kHigh) / sizeof(char16_t) == 97);
    if (c >= 'A' && c <= 'Z') return kUpper[c - 'A'];
    if (c >= 'a' && c <= 'z') return kLower[c - 'a'];
    if (c >= 0xA0) return kHigh[c - 0xA0];
    switch (c) {
        case 0x22: return u'∀';
        case 0x24: return u'∃';
        case 0x27: return u'∋';
        case 0x2A: return u'∗';
        case 0x2D: return u'−';
        case 0x40: return u'≅';
        case 0x5C: return u'∴';
        case 0x5E: return u'⊥';
        case 0x7E: return u'∼';
        default: return char16_t(c);
    }
}

bool GreekSymbols(const Font& f) {
    return f.face.contains(QLatin1String("Symbol"),
                           Qt::CaseInsensitive);  // also MathType's Euclid Symbol
}

// A symbol-encoded font that is installed (always, on Windows) draws its own pictures, as the
// file's author saw them; only the letters it lacks become the Unicode characters they stand
// for, drawn by the stand-ins.
std::bitset<256> OwnSymbols(const Font& f) {
    constexpr uint8_t kSymbolCharset = 2;
    const QString face = f.face.trimmed().toLower();
    if (SymbolFontOf(face) == SymbolFont::None && face != QLatin1String("symbol") &&
        f.charset != kSymbolCharset)
        return {};
    return OwnSymbolGlyphs(face);
}

// Metric-compatible stand-ins keep text on its advances where the Windows fonts are missing.
QStringList Families(const Font& f) {
    static const QStringList kSans{"Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica"};
    static const QStringList kSerif{"Liberation Serif", "Tinos", "Nimbus Roman", "Times"};
    static const QStringList kMono{"Liberation Mono", "Cousine", "Nimbus Mono PS", "Courier"};
    const QStringList own = OwnSymbols(f).any() ? QStringList{f.face.trimmed()} : QStringList{};
    if (GreekSymbols(f))  // the letters become Unicode Greek
        return own + QStringList{"Times New Roman"} + kSerif;
    if (SymbolFontOf(f.face) != SymbolFont::None)  // pictographs; Qt falls back per character
        return own + SymbolStandIns();
    const QString face = f.face.toLower();
    QStringList out{f.face};
    if (face == "arial" || face == "helvetica" || face == "tahoma" || face.contains("sans serif") ||
        face == "helv")
        out += kSans;
    else if (face.startsWith("times") || face == "tms rmn")
        out += kSerif;
    else if (face.startsWith("courier"))
        out += kMono;
    return out;
}

// Cell height (ascent + descent, what GDI measures a positive height against) per em of the
// Windows faces metafiles name most, from their own metrics; Helvetica and Times are Arial and
// Times New Roman there. The stand-ins drawn here can differ a lot: Nimbus Sans, the usual
// Helvetica on Linux, has a cell of 1.37 em, and its metrics make text a fifth smaller than
// its author saw it.
std::optional<double> WindowsCellPerEm(const QString& face) {
    struct Known {
        const char* face;
        double cell;
    };
    static constexpr Known kFaces[] = {
        {"arial", 2288 / 2048.0},           {"helvetica", 2288 / 2048.0},
        {"times new roman", 2268 / 2048.0}, {"times", 2268 / 2048.0},
        {"courier new", 2320 / 2048.0},     {"tahoma", 2472 / 2048.0},
        {"verdana", 2489 / 2048.0},
    };
    const QString lower = face.trimmed().toLower();
    for (const Known& k : kFaces)
        if (lower == QLatin1String(k.face)) return k.cell;
    return std::nullopt;
}

struct Piece {
    QString text;
    int bytes = 1;
};

// Splits the bytes into characters (one or two bytes each) so per-byte advances can be summed.
std::vector<Piece> Decode(const QByteArray& bytes, const Font& font) {
    const uint8_t charset = font.charset;
    std::vector<Piece> out;
    QStringDecoder decoder(CodePage(charset));
    const SymbolFont symbols = SymbolFontOf(font.face);
    const bool singleByte = GreekSymbols(font) || symbols != SymbolFont::None;
    const std::bitset<256> own = OwnSymbols(font);
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar c = uchar(bytes[i]);
        const int n = !singleByte && DoubleByte(charset, c) && i + 1 < bytes.size() ? 2 : 1;
        Piece piece{QString(), n};
        if (own[c]) {
            // A symbol font's characters sit at U+F000 plus the byte.
            piece.text = QString(QChar(char16_t(0xF000 + c)));
        } else if (GreekSymbols(font)) {
            piece.text = QString(QChar(SymbolChar(c)));
        } else if (symbols != SymbolFont::None) {
            const char32_t u = SymbolFontChar(symbols, c);
            piece.text = QString::fromUcs4(&u, 1);
        } else if (decoder.isValid())
            piece.text = decoder.decode(QByteArrayView(bytes).sliced(i, n));
        else
            piece.text = QString::fromLatin1(bytes.constData() + i, n);
        out.push_back(std::move(piece));
        i += n;
    }
    return out;
}

QFont::StyleHint Hint(uint8_t pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
        case 0x10: return QFont::Serif;
        case 0x30: return QFont::TypeWriter;
        case 0x40: return QFont::Cursive;
        case 0x50: return QFont::Decorative;
        default: return QFont::SansSerif;
    }
}

}  // namespace

bool Player::textRecord(uint16_t fn, const Params& p) {
    if (fn == kTextOut) {
        const int count = qMin<qsizetype>(p.u16(0), p.bytesFrom(1));
        const qsizetype after = 1 + (count + 1) / 2;
        if (!p.has(after + 2)) return true;
        const QByteArray text(reinterpret_cast<const char*>(p.raw(1, count)), count);
        drawText(QPointF(p.i16(after + 1), p.i16(after)), text, {}, 0, std::nullopt);
        return true;
    }
    if (fn != kExtTextOut) return false;
    if (!p.has(4)) return true;
    const uint16_t options = p.u16(3);
    qsizetype word = 4;
    std::optional<QRectF> box;
    if ((options & (kEtoOpaque | kEtoClipped)) && p.has(8)) {
        box = QRectF(QPointF(p.i16(4), p.i16(5)), QPointF(p.i16(6), p.i16(7)));
        word = 8;
    }
    const int count = qMin<qsizetype>(p.u16(2), p.bytesFrom(word));
    const QByteArray text(reinterpret_cast<const char*>(p.raw(word, count)), count);
    word += (count + 1) / 2;
    // One advance per byte, or an (x, y) pair with ETO_PDY; a short array covers the first
    // characters only and the font places the rest.
    const bool pairs = options & kEtoPdy;
    const qsizetype entries =
        qMin<qsizetype>(count, qMax<qsizetype>(0, p.words() - word) / (pairs ? 2 : 1));
    std::vector<QPoint> dx;
    dx.reserve(size_t(entries));
    for (qsizetype i = 0; i < entries; ++i)
        dx.emplace_back(pairs ? QPoint(p.i16(word + 2 * i), p.i16(word + 2 * i + 1))
                              : QPoint(p.i16(word + i), 0));
    drawText(QPointF(p.i16(1), p.i16(0)), text, dx, options, box);
    return true;
}

void Player::drawText(QPointF at, const QByteArray& bytes, const std::vector<QPoint>& dx,
                      uint16_t options, std::optional<QRectF> box) {
    const QTransform t = xf();
    const Font& lf = st_.font;
    const uint16_t align = st_.textAlign;
    const bool updateCp = align & kTaUpdateCp;
    const QPointF ref = t.map(updateCp ? st_.position : at);
    const double sx = std::abs(t.m11()), sy = std::abs(t.m22());
    const double longest = std::max(frame_.image.width(), frame_.image.height());

    QFont font;
    font.setFamilies(Families(lf));
    font.setStyleHint(Hint(lf.pitchAndFamily));
    font.setWeight(QFont::Weight(qBound(1, lf.weight ? lf.weight : 400, 1000)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    // Negative heights give the em size; positive ones the cell (ascent + descent) of the font
    // the author had, where we know it, else of the font drawn.
    double em = lf.height < 0 ? -lf.height * sy : lf.height * sy;
    if (lf.height > 0) {
        if (const std::optional<double> cell = WindowsCellPerEm(lf.face)) {
            em /= *cell;
        } else {
            font.setPixelSize(100);
            const QFontMetricsF m(font);
            if (m.ascent() + m.descent() > 0) em *= 100 / (m.ascent() + m.descent());
        }
    }
    if (lf.height == 0) em = 12 * frame_.pixelScale;
    em = std::min(em, 4 * longest + 1);
    const int pixelSize = std::max(1, int(std::lround(em)));
    font.setPixelSize(pixelSize);
    const QFontMetricsF metrics(font);
    const double ys = em / pixelSize;  // the rest of the size goes into the painter's scale
    double xs = ys;
    if (lf.width != 0 && metrics.averageCharWidth() > 0)
        xs = qBound(0.25, std::abs(lf.width) * sx / metrics.averageCharWidth(), 4.0) * ys;

    std::vector<Piece> pieces = Decode(bytes.left(kMaxTextBytes), lf);
    // Device offsets of each character from the reference point: along the baseline, and
    // across it (up is positive in the records, whichever way the mapping turns y).
    std::vector<QPointF> offsets;
    QPointF pen;
    size_t byte = 0;
    // Double-byte text may carry one advance per character instead of one per byte.
    const bool perChar = dx.size() == pieces.size() && dx.size() < size_t(bytes.size());
    for (const Piece& piece : pieces) {
        offsets.push_back(pen);
        const int takes = perChar ? 1 : piece.bytes;
        if (byte < dx.size()) {
            for (int k = 0; k < takes && byte < dx.size(); ++k, ++byte)
                pen += QPointF(dx[byte].x() * sx, -dx[byte].y() * sy);
        } else {
            pen.rx() += metrics.horizontalAdvance(piece.text) * xs + st_.charExtra * sx;
        }
    }
    const double width = pen.x();
    double rise = 0, fall = 0;  // how far the offsets move characters off the line
    for (const QPointF& o : offsets) rise = std::min(rise, o.y()), fall = std::max(fall, o.y());
    const double x0 = (align & kTaCenter) == kTaCenter ? -width / 2
                      : (align & kTaRight)             ? -width
                                                       : 0;
    const double ascent = metrics.ascent() * ys, descent = metrics.descent() * ys;
    const double baseline = (align & kTaBaseline) == kTaBaseline ? 0
                            : (align & kTaBottom)                ? -descent
                                                                 : ascent;
    if (updateCp) {
        const double advance = (align & kTaCenter) == kTaCenter ? 0
                               : (align & kTaRight)             ? -width
                                                                : width;
        st_.position.rx() += advance / (t.m11() == 0 ? 1 : t.m11());
    }

    QTransform line;
    line.translate(ref.x(), ref.y());
    line.rotate(-lf.escapement / 10.0);
    const QRectF cell(x0, baseline - ascent, width, ascent + descent);
    const std::optional<QRect> boxRect =
        box ? std::optional<QRect>(deviceRect(*box)) : std::nullopt;
    QRectF bounds = line.mapRect(cell.adjusted(0, rise, 0, fall));
    if (boxRect && (options & kEtoOpaque)) bounds = bounds.united(QRectF(*boxRect));
    if (pieces.empty() && !(boxRect && (options & kEtoOpaque))) return;
    if (!beginDraw(bounds)) return;
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (boxRect && (options & kEtoClipped)) painter_->setClipRect(*boxRect, Qt::IntersectClip);
    if (boxRect && (options & kEtoOpaque)) painter_->fillRect(*boxRect, color(st_.bkColor));
    painter_->setTransform(line);
    if (st_.bkOpaque && !(boxRect && (options & kEtoOpaque)))
        painter_->fillRect(cell, color(st_.bkColor));
    // Glyph outlines cost their area: one record gets at most sixteen pictures' worth.
    const double budget =
        16 * frame_.image.width() * frame_.image.height() / std::max(1.0, em * em * xs / ys);
    pieces.resize(size_t(std::min<double>(double(pieces.size()), budget + 1)));
    painter_->scale(xs, ys);
    painter_->setFont(font);
    painter_->setPen(color(st_.textColor));
    if (dx.empty() && st_.charExtra == 0) {
        QString all;
        for (const Piece& piece : pieces) all += piece.text;
        painter_->drawText(QPointF(x0 / xs, baseline / ys), all);
    } else {
        for (size_t i = 0; i < pieces.size(); ++i)
            painter_->drawText(
                QPointF((x0 + offsets[i].x()) / xs, (baseline + offsets[i].y()) / ys),
                pieces[i].text);
    }
    painter_->setTransform(QTransform());
}

}  // namespace imaging::wmf
