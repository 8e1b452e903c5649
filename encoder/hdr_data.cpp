#include "encoder/hdr_data.h"

#include <sys/stat.h>
#include <cstring>

#include "encoder/video_path.h"

namespace wm {
namespace {

// Side data of the stream (as containers carry it) into hdr.
void takeStream(const AVStream* st, HdrData& hdr) {
    for (int i = 0; i < st->nb_side_data; ++i) {
        const AVPacketSideData& sd = st->side_data[i];
        if (sd.type == AV_PKT_DATA_MASTERING_DISPLAY_METADATA && sd.size >= sizeof hdr.mastering) {
            std::memcpy(&hdr.mastering, sd.data, sizeof hdr.mastering);
            hdr.hasMastering = hdr.mastering.has_primaries || hdr.mastering.has_luminance;
        } else if (sd.type == AV_PKT_DATA_CONTENT_LIGHT_LEVEL && sd.size >= sizeof hdr.light) {
            std::memcpy(&hdr.light, sd.data, sizeof hdr.light);
            hdr.hasLight = true;
        } else if (sd.type == AV_PKT_DATA_DOVI_CONF) {
            hdr.dolbyVision = true;
        }
    }
}

void takeFrame(const AVFrame* f, HdrData& hdr) {
    if (const AVFrameSideData* sd = av_frame_get_side_data(f, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
        sd && !hdr.hasMastering && sd->size >= sizeof hdr.mastering) {
        std::memcpy(&hdr.mastering, sd->data, sizeof hdr.mastering);
        hdr.hasMastering = hdr.mastering.has_primaries || hdr.mastering.has_luminance;
    }
    if (const AVFrameSideData* sd = av_frame_get_side_data(f, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
        sd && !hdr.hasLight && sd->size >= sizeof hdr.light) {
        std::memcpy(&hdr.light, sd->data, sizeof hdr.light);
        hdr.hasLight = true;
    }
    hdr.dolbyVision = hdr.dolbyVision || av_frame_get_side_data(f, AV_FRAME_DATA_DOVI_RPU_BUFFER) ||
                      av_frame_get_side_data(f, AV_FRAME_DATA_DOVI_METADATA);
    hdr.hdr10Plus = hdr.hdr10Plus || av_frame_get_side_data(f, AV_FRAME_DATA_DYNAMIC_HDR_PLUS);
}

// The first frame of the stream, from a second reading of the file. Nothing is said when it
// cannot be had: the conversion's own reading says why.
void takeFirstFrame(const std::string& path, int index, HdrData& hdr) {
    struct stat s {};
    if (::stat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode)) return;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return;
    const InputFormatPtr ic(raw);
    if (avformat_find_stream_info(ic.get(), nullptr) < 0 || index >= int(ic->nb_streams)) return;
    const AVStream* st = ic->streams[index];
    CodecContextPtr dec;
    if (openVideoDecoder(st, 1, FF_THREAD_FRAME, dec)) return;
    PacketPtr pkt = makePacket();
    FramePtr frame = makeFrame();
    // The SEI comes with the first pictures; a few packets are enough to find it.
    for (int packets = 0; packets < 64;) {
        const int r = av_read_frame(ic.get(), pkt.get());
        const bool end = r < 0;
        if (!end && pkt->stream_index != index) {
            av_packet_unref(pkt.get());
            continue;
        }
        ++packets;
        avcodec_send_packet(dec.get(), end ? nullptr : pkt.get());
        av_packet_unref(pkt.get());
        if (avcodec_receive_frame(dec.get(), frame.get()) == 0) return takeFrame(frame.get(), hdr);
        if (end) return;
    }
}

// x265's chromaticities count 1/50000, its luminances 1/10000 cd/m².
long scaled(AVRational q, int by) {
    return q.den ? long(av_rescale(q.num, by, q.den)) : 0;
}

}  // namespace

bool isHdrTransfer(AVColorTransferCharacteristic trc) {
    return trc == AVCOL_TRC_SMPTE2084 || trc == AVCOL_TRC_ARIB_STD_B67;
}

HdrData readHdrData(const std::string& path, const AVStream* stream) {
    HdrData hdr;
    takeStream(stream, hdr);
    if (isHdrTransfer(stream->codecpar->color_trc)) takeFirstFrame(path, stream->index, hdr);
    return hdr;
}

Error keepHdrData(const HdrData& hdr, AVStream* st) {
    const auto add = [st](AVPacketSideDataType type, const void* data, size_t size) -> Error {
        for (int i = 0; i < st->nb_side_data; ++i)
            if (st->side_data[i].type == type) return noError();
        uint8_t* dst = av_stream_new_side_data(st, type, size);
        if (!dst) return avError(AVERROR(ENOMEM), "keep the HDR metadata");
        std::memcpy(dst, data, size);
        return noError();
    };
    if (hdr.hasMastering)
        if (Error e = add(AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &hdr.mastering, sizeof hdr.mastering))
            return e;
    if (hdr.hasLight)
        if (Error e = add(AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &hdr.light, sizeof hdr.light)) return e;
    return noError();
}

std::string x265HdrParams(const HdrData& hdr) {
    std::string words;
    const AVMasteringDisplayMetadata& m = hdr.mastering;
    if (hdr.hasMastering && m.has_primaries && m.has_luminance) {
        // x265 takes green, blue, red; FFmpeg keeps red, green, blue.
        const auto xy = [](const AVRational p[2]) {
            return "(" + std::to_string(scaled(p[0], 50000)) + "," + std::to_string(scaled(p[1], 50000)) +
                   ")";
        };
        words += "master-display=G" + xy(m.display_primaries[1]) + "B" + xy(m.display_primaries[2]) + "R" +
                 xy(m.display_primaries[0]) + "WP" + xy(m.white_point) + "L(" +
                 std::to_string(scaled(m.max_luminance, 10000)) + "," +
                 std::to_string(scaled(m.min_luminance, 10000)) + ")";
    }
    if (hdr.hasLight)
        words += std::string(words.empty() ? "" : ":") + "max-cll=" + std::to_string(hdr.light.MaxCLL) + "," +
                 std::to_string(hdr.light.MaxFALL);
    return words;
}

std::string hdrLossNote(const HdrData& hdr, bool hdr10) {
    if (!hdr.dolbyVision && !hdr.hdr10Plus) return {};
    std::string lost = hdr.dolbyVision && hdr.hdr10Plus ? "Dolby Vision's RPU and HDR10+'s dynamic metadata"
                       : hdr.dolbyVision                ? "Dolby Vision's RPU"
                                                        : "HDR10+'s dynamic metadata";
    return "Note: " + lost + " cannot be kept through a re-encode: the result is plain " +
           (hdr10 ? "HDR10" : "HLG");
}

}  // namespace wm
