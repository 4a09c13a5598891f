#include "metadata/ID3TagLayout.h"

#include "metadata/FileIO.h"

#include <cstring>

namespace airlark {
namespace {

constexpr qint64 HeaderBytes = 10;
constexpr qint64 ID3v1Bytes = 128;
// How far into a file with a broken tag header to look for audio before calling it "not an MP3".
constexpr qint64 AudioSearchBytes = 16 * 1024 * 1024;

struct MPEGFrame
{
    int length = 0;
    int kind = 0; // version, layer and sample rate: consecutive frames of one stream share it
};

// The frame whose header starts at `h`, if it is a valid MPEG audio frame header.
std::optional<MPEGFrame> mpegFrameAt(const uchar* h)
{
    static constexpr int kbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int rates[4][3] = {
        {11025, 12000, 8000}, {}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (h[1] >> 3) & 3; // 0: MPEG 2.5, 2: MPEG 2, 3: MPEG 1
    const int layerBits = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    const int layer = 4 - layerBits; // 1, 2 or 3
    const int bitrate = kbps[version == 3 ? 0 : 1][layer - 1][bitrateIndex] * 1000;
    const int rate = rates[version][rateIndex];
    const int padding = (h[2] >> 1) & 1;
    int length = 0;
    if (layer == 1)
        length = (12 * bitrate / rate + padding) * 4;
    else if (layer == 3 && version != 3)
        length = 72 * bitrate / rate + padding;
    else
        length = 144 * bitrate / rate + padding;
    return MPEGFrame{length, (version << 4) | (layer << 2) | rateIndex};
}

TagLibMetadataError damagedOrNoAudio(int fd, qint64 fileSize)
{
    const std::optional<QByteArray> head = fileio::readAt(fd, 0, qMin(fileSize, AudioSearchBytes));
    if (head && containsMPEGAudio(*head, HeaderBytes))
        return {TagLibMetadataErrorCode::DamagedTag,
                QStringLiteral(
                    "The ID3 tag at the start of the file is damaged: its size does not match the file. "
                    "The audio looks intact, but Airlark will not write into the file while it "
                    "cannot tell where the tag ends. Remove the damaged tag with a tag editor, then "
                    "save again.")};
    return {TagLibMetadataErrorCode::NotAnMPEGFile, QStringLiteral("Not an MP3 file")};
}

} // namespace

bool containsMPEGAudio(const QByteArray& bytes, qsizetype from)
{
    constexpr int RunLength = 3;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype start = from; start + 4 <= size; ++start) {
        const void* sync = std::memchr(data + start, 0xFF, size_t(size - start));
        if (!sync)
            return false;
        start = static_cast<const uchar*>(sync) - data;
        qsizetype at = start;
        int run = 0;
        std::optional<MPEGFrame> first;
        while (run < RunLength && at + 4 <= size) {
            const std::optional<MPEGFrame> frame = mpegFrameAt(data + at);
            if (!frame || (first && frame->kind != first->kind))
                break;
            first = first ? first : frame;
            ++run;
            at += frame->length;
        }
        if (run == RunLength)
            return true;
    }
    return false;
}

std::optional<ID3TagLayout> readID3TagLayout(int fd, qint64 fileSize, TagLibMetadataError* error)
{
    const auto fail = [error](TagLibMetadataError why) {
        *error = std::move(why);
        return std::nullopt;
    };
    const auto unreadable = [&] {
        return fail({TagLibMetadataErrorCode::NotReadable,
                     QStringLiteral("The file cannot be read: ") + fileio::errorText(errno)});
    };
    ID3TagLayout layout;
    layout.fileSize = fileSize;
    const std::optional<QByteArray> header = fileio::readAt(fd, 0, qMin(HeaderBytes, fileSize));
    if (!header)
        return unreadable();
    if (header->size() == HeaderBytes && header->startsWith("ID3")) {
        const auto* h = reinterpret_cast<const uchar*>(header->constData());
        const bool syncsafe = ((h[6] | h[7] | h[8] | h[9]) & 0x80) == 0;
        const qint64 footer = h[3] == 4 && (h[5] & 0x10) ? HeaderBytes : 0;
        const qint64 end = HeaderBytes + ((qint64(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9]) + footer;
        if (h[3] < 2 || h[3] > 4 || h[4] == 0xFF || !syncsafe || end > fileSize)
            return fail(damagedOrNoAudio(fd, fileSize));
        const std::optional<QByteArray> tag = fileio::readAt(fd, 0, end);
        if (!tag)
            return unreadable();
        if (containsMPEGAudio(*tag, HeaderBytes))
            return fail(damagedOrNoAudio(fd, fileSize));
        layout.tag = *tag;
    }
    layout.audioEnd = fileSize;
    if (fileSize - ID3v1Bytes >= layout.tag.size()) {
        const std::optional<QByteArray> trailer = fileio::readAt(fd, fileSize - ID3v1Bytes, ID3v1Bytes);
        if (!trailer)
            return unreadable();
        if (trailer->startsWith("TAG")) {
            layout.id3v1 = *trailer;
            layout.audioEnd = fileSize - ID3v1Bytes;
        }
    }
    return layout;
}

} // namespace airlark
