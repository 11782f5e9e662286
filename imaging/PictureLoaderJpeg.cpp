// JPEG through libjpeg-turbo directly: Qt's handler cannot tell us which DCT reduction it
// used, treats every CMYK file as Adobe-inverted and hides truncation behind grey rows.
#include "imaging/AreaReducer.h"
#include "imaging/PictureLoaderDetail.h"

#include <QIODevice>
#include <QTransform>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace imaging::detail {

namespace {

enum class Phase { Header, Scanning, Finishing };

struct Context {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    QIODevice* device = nullptr;
    Phase phase = Phase::Header;
    bool tooManyScans = false;
    bool tooMuchWork = false;
    bool noMarker = false;
    bool truncated = false;
    int64_t fileBytes = 0;
    int64_t blockVisits = 0;  // coefficient blocks walked by the scans begun so far
    int lastScan = 0;
    // Decoding position when input was last read, and bytes read since it last moved.
    int64_t stamp = -1;
    int64_t bytesWithoutProgress = 0;
    char message[JMSG_LENGTH_MAX] = {};
    JOCTET buffer[64 * 1024];
};

Context* Ctx(j_common_ptr cinfo) { return static_cast<Context*>(cinfo->client_data); }

[[noreturn]] void OnError(j_common_ptr cinfo) {
    Context* ctx = Ctx(cinfo);
    (*cinfo->err->format_message)(cinfo, ctx->message);
    std::longjmp(ctx->jump, 1);
}

// Most corrupt-data warnings are recovered from and the picture shows. Entropy data that runs
// into the end marker, though, means the rest would be invented grey: that is a cut-off file.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->unread_marker == JPEG_EOI) {
        Ctx(cinfo)->truncated = true;
        (*cinfo->err->error_exit)(cinfo);
    }
}

int64_t BlockVisitBudget(int64_t fileBytes) {
    return kJpegFreeBlockVisits + kJpegBlockVisitsPerByte * fileBytes;
}

// Called before each row of blocks is taken in, so a new scan is charged before it is walked.
void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    Context* ctx = Ctx(cinfo);
    if (d->input_scan_number > kMaxJpegScans) {
        ctx->tooManyScans = true;
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        (*cinfo->err->error_exit)(cinfo);
    }
    if (d->input_scan_number != ctx->lastScan) {
        ctx->lastScan = d->input_scan_number;
        for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
            const jpeg_component_info* c = d->cur_comp_info[i];
            if (c)
                ctx->blockVisits += static_cast<int64_t>(c->width_in_blocks) * c->height_in_blocks;
        }
        if (ctx->blockVisits > BlockVisitBudget(ctx->fileBytes)) {
            ctx->tooMuchWork = true;
            cinfo->err->msg_code = JERR_BAD_PROGRESSION;
            (*cinfo->err->error_exit)(cinfo);
        }
    }
}

int64_t DecodingStamp(j_decompress_ptr d) {
    return (static_cast<int64_t>(d->input_scan_number) << 40) |
           (static_cast<int64_t>(d->input_iMCU_row) << 20) | d->output_scanline;
}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    Context* ctx = Ctx(reinterpret_cast<j_common_ptr>(cinfo));
    qint64 n = ctx->device->read(reinterpret_cast<char*>(ctx->buffer), sizeof ctx->buffer);
    if (n > 0) {
        const int64_t stamp = DecodingStamp(cinfo);
        ctx->bytesWithoutProgress = stamp == ctx->stamp ? ctx->bytesWithoutProgress + n : n;
        ctx->stamp = stamp;
    }
    if (n > 0 && ctx->bytesWithoutProgress > kMaxJpegBytesWithoutProgress) {
        // Every row is in: what follows is junk, and the end is taken as read.
        if (ctx->phase == Phase::Finishing) {
            n = 0;
        } else {
            ctx->noMarker = true;
            cinfo->err->msg_code = JERR_NO_SOI;
            (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
        }
    }
    if (n > 0) {
        ctx->src.next_input_byte = ctx->buffer;
        ctx->src.bytes_in_buffer = static_cast<size_t>(n);
        return TRUE;
    }
    // Every row is in: a missing end marker is harmless. Earlier, the file is cut short.
    if (ctx->phase != Phase::Finishing) {
        ctx->truncated = true;
        cinfo->err->msg_code = JERR_INPUT_EOF;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    ctx->buffer[0] = 0xFF;
    ctx->buffer[1] = JPEG_EOI;
    ctx->src.next_input_byte = ctx->buffer;
    ctx->src.bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    Context* ctx = Ctx(reinterpret_cast<j_common_ptr>(cinfo));
    if (count <= 0) return;
    while (count > static_cast<long>(ctx->src.bytes_in_buffer)) {
        count -= static_cast<long>(ctx->src.bytes_in_buffer);
        ctx->src.bytes_in_buffer = 0;
        FillInput(cinfo);
    }
    ctx->src.next_input_byte += count;
    ctx->src.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

inline uint8_t Mul255(unsigned a, unsigned b) {
    const unsigned t = a * b + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// Adobe writers store CMYK inverted (0 = full ink); plain CMYK files store ink directly.
void CmykRowToRgb32(const JSAMPLE* in, QRgb* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION i = 0; i < width; ++i, in += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[i] = qRgb(Mul255(c, k), Mul255(m, k), Mul255(y, k));
    }
}

// What Run fills, owned by its caller so that a longjmp out of libjpeg leaves nothing behind.
struct Output {
    QImage image;  // every row, when the rows are not reduced
    std::optional<AreaReducer> reducer;
    std::vector<uint32_t> row;
    JSAMPLE* cmykRow = nullptr;
};

// Only trivially destructible locals live here: a longjmp out of libjpeg skips no destructor.
// Everything that owns memory belongs to the caller and is handed in through pointers.
bool Run(Context* ctx, QSize box, bool reduceToFit, JpegResult* out, Output* o) {
    j_decompress_ptr cinfo = &ctx->cinfo;
    if (setjmp(ctx->jump) != 0) {
        return false;
    }
    cinfo->client_data = ctx;
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxJpegWorkBytes;
    cinfo->src = &ctx->src;
    cinfo->progress = &ctx->progress;
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    // A picture in several scans keeps all its coefficients, 128 bytes a block. Every block
    // costs at least a bit of data, so a file far smaller than its buffer is not a picture.
    cinfo->mem->max_memory_to_use = static_cast<long>(std::min<int64_t>(
        kMaxJpegWorkBytes, std::max<int64_t>(256LL * 1024 * 1024, 2048 * ctx->fileBytes)));

    out->storedSize = QSize(static_cast<int>(std::min<JDIMENSION>(cinfo->image_width, INT32_MAX)),
                            static_cast<int>(std::min<JDIMENSION>(cinfo->image_height, INT32_MAX)));
    if (cinfo->image_width == 0 || cinfo->image_height == 0) {
        std::snprintf(ctx->message, sizeof ctx->message, "picture has no pixels");
        return false;
    }
    if (static_cast<int64_t>(cinfo->image_width) * cinfo->image_height > kMaxPicturePixels) {
        std::snprintf(ctx->message, sizeof ctx->message, "refused: %ux%u pixels is above the limit",
                      cinfo->image_width, cinfo->image_height);
        return false;
    }
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            out->orientation = ExifOrientation(QByteArray(reinterpret_cast<const char*>(m->data),
                                                          static_cast<qsizetype>(m->data_length)));
            break;
        }
    }
    JOCTET* icc = nullptr;
    unsigned iccLength = 0;
    if (jpeg_read_icc_profile(cinfo, &icc, &iccLength) && icc) {
        out->iccProfile =
            QByteArray(reinterpret_cast<const char*>(icc), static_cast<qsizetype>(iccLength));
        std::free(icc);
    }

    out->denominator =
        JpegScaleDenominator(out->storedSize, OrientationSwapsAxes(out->orientation), box);
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(out->denominator);
    cinfo->dct_method = JDCT_ISLOW;
    // A reduced picture is drawn smaller still; merged chroma upsampling costs a third less time.
    if (out->denominator > 1) cinfo->do_fancy_upsampling = FALSE;
    out->cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (out->cmyk) {
        cinfo->out_color_space = JCS_CMYK;
    } else {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        cinfo->out_color_space = JCS_EXT_BGRA;  // the byte order of 0xAARRGGBB, alpha 0xFF
#else
        cinfo->out_color_space = JCS_EXT_ARGB;
#endif
    }
    jpeg_start_decompress(cinfo);
    ctx->phase = Phase::Scanning;

    const QSize decoded(static_cast<int>(cinfo->output_width),
                        static_cast<int>(cinfo->output_height));
    const bool swaps = OrientationSwapsAxes(out->orientation);
    out->decodedSize = swaps ? decoded.transposed() : decoded;
    const QSize fit = FitWithin(out->decodedSize, box);
    // Reduced as the rows come, the DCT-sized picture (up to four times the fit) never exists.
    if (reduceToFit && fit != out->decodedSize) {
        o->reducer.emplace(decoded, swaps ? fit.transposed() : fit, false, false);
        o->row.resize(cinfo->output_width);
    } else {
        o->image = QImage(decoded, QImage::Format_RGB32);
        if (o->image.isNull()) {
            std::snprintf(ctx->message, sizeof ctx->message, "out of memory for %ux%u pixels",
                          cinfo->output_width, cinfo->output_height);
            return false;
        }
    }
    if (out->cmyk) {
        o->cmykRow =
            static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(cinfo->output_width) * 4));
        if (!o->cmykRow) {
            std::snprintf(ctx->message, sizeof ctx->message, "out of memory");
            return false;
        }
    }
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        QRgb* pixels = o->reducer ? o->row.data() : reinterpret_cast<QRgb*>(o->image.scanLine(y));
        if (out->cmyk) {
            JSAMPROW row = o->cmykRow;
            jpeg_read_scanlines(cinfo, &row, 1);
            CmykRowToRgb32(o->cmykRow, pixels, cinfo->output_width, inverted);
        } else {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels);
            jpeg_read_scanlines(cinfo, &row, 1);
        }
        if (o->reducer) o->reducer->AddRow32(pixels);
    }
    ctx->phase = Phase::Finishing;
    jpeg_finish_decompress(cinfo);
    return true;
}

QString ErrorText(const Context& ctx) {
    if (ctx.truncated) return QStringLiteral("truncated JPEG data");
    if (ctx.tooManyScans) return QStringLiteral("too many progressive scans");
    if (ctx.tooMuchWork) return QStringLiteral("refused: scans far beyond what the data holds");
    if (ctx.noMarker) return QStringLiteral("refused: no JPEG marker in the data");
    if (ctx.err.msg_code == JERR_NO_BACKING_STORE)
        return QStringLiteral("refused: more coefficients than the data can hold");
    return QString::fromLatin1(ctx.message);
}

}  // namespace

JpegResult DecodeJpeg(QIODevice* device, QSize box, bool reduceToFit) {
    JpegResult out;
    auto ctx = std::make_unique<Context>();
    std::memset(&ctx->cinfo, 0, sizeof ctx->cinfo);
    ctx->cinfo.err = jpeg_std_error(&ctx->err);
    ctx->err.error_exit = OnError;
    ctx->err.emit_message = OnMessage;
    ctx->src.init_source = InitSource;
    ctx->src.fill_input_buffer = FillInput;
    ctx->src.skip_input_data = SkipInput;
    ctx->src.resync_to_restart = jpeg_resync_to_restart;
    ctx->src.term_source = TermSource;
    ctx->src.next_input_byte = nullptr;
    ctx->src.bytes_in_buffer = 0;
    ctx->progress.progress_monitor = OnProgress;
    ctx->device = device;
    ctx->fileBytes = std::max<qint64>(0, device->size());

    Output o;
    const bool ok = Run(ctx.get(), box, reduceToFit, &out, &o);
    jpeg_destroy_decompress(&ctx->cinfo);
    std::free(o.cmykRow);
    if (!ok) {
        out.error = ErrorText(*ctx);
        if (out.error.isEmpty()) out.error = QStringLiteral("undecodable JPEG");
        return out;
    }
    out.image =
        ApplyOrientation(o.reducer ? o.reducer->Take() : std::move(o.image), out.orientation);
    if (out.image.isNull()) out.error = QStringLiteral("out of memory");
    return out;
}

}  // namespace imaging::detail
