#pragma once
// Bounds-checked access to the little-endian words of a metafile.
#include <QByteArray>
#include <QtGlobal>
#include <cstdint>

namespace imaging::wmf {

// A record's parameters. Reads outside the record give 0; callers check has() for what they need.
class Params {
public:
    Params() = default;
    Params(const uchar* data, qsizetype bytes) : data_(data), bytes_(bytes < 0 ? 0 : bytes) {}

    qsizetype words() const { return bytes_ / 2; }
    qsizetype bytes() const { return bytes_; }
    bool has(qsizetype wordCount) const { return wordCount >= 0 && wordCount <= words(); }

    uint16_t u16(qsizetype word) const {
        if (word < 0 || word >= words()) return 0;
        return uint16_t(data_[word * 2] | (data_[word * 2 + 1] << 8));
    }
    int16_t i16(qsizetype word) const { return int16_t(u16(word)); }
    uint32_t u32(qsizetype word) const { return u16(word) | (uint32_t(u16(word + 1)) << 16); }

    // Raw bytes from a word offset on; nullptr when fewer than `count` bytes remain.
    const uchar* raw(qsizetype word, qsizetype count) const {
        if (word < 0 || count < 0 || word * 2 > bytes_ || count > bytes_ - word * 2) return nullptr;
        return data_ + word * 2;
    }
    qsizetype bytesFrom(qsizetype word) const { return word * 2 >= bytes_ ? 0 : bytes_ - word * 2; }
    Params from(qsizetype word) const {
        return word < 0 ? Params() : Params(data_ + qMin(word * 2, bytes_), bytesFrom(word));
    }

private:
    const uchar* data_ = nullptr;
    qsizetype bytes_ = 0;
};

struct Record {
    uint16_t function = 0;
    Params params;
};

// Walks the records after the header. A size under 3 words or running past the data ends the walk.
class RecordStream {
public:
    enum class Stop { None, EndRecord, EndOfData, Corrupt };

    RecordStream(const QByteArray& bytes, qsizetype offset) : bytes_(bytes), pos_(offset) {}

    bool next(Record& out) {
        if (stop_ != Stop::None) return false;
        const Params head(reinterpret_cast<const uchar*>(bytes_.constData()) + pos_,
                          bytes_.size() - pos_);
        if (!head.has(3)) {
            stop_ = head.bytes() == 0 ? Stop::EndOfData : Stop::Corrupt;
            return false;
        }
        const uint32_t sizeWords = head.u32(0);
        out.function = head.u16(2);
        if (out.function ==
            kEndFunction) {  // its size field is often wrong; nothing follows anyway
            stop_ = Stop::EndRecord;
            return false;
        }
        if (sizeWords < 3 || qint64(sizeWords) > head.words()) {
            stop_ = Stop::Corrupt;
            return false;
        }
        out.params = Params(head.raw(3, 0), qsizetype(sizeWords) * 2 - 6);
        pos_ += qsizetype(sizeWords) * 2;
        return true;
    }
    Stop stop() const { return stop_; }

private:
    static constexpr uint16_t kEndFunction = 0;
    const QByteArray& bytes_;
    qsizetype pos_;
    Stop stop_ = Stop::None;
};

}  // namespace imaging::wmf
