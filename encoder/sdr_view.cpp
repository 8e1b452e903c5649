#include "encoder/sdr_view.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace wm {
namespace {

// Table sizes: 16-bit signals, and light finely below the reference white, coarser above it.
constexpr int kSignalSteps = 1 << 16;
constexpr int kLowSteps = 1 << 14, kHighSteps = 1 << 12;
constexpr double kHighest = rules::kPqPeak / rules::kReferenceWhite;

uint8_t byteOf(double v) {
    return uint8_t(std::lround(std::clamp(rules::linearToSrgb(rules::sdrFromLight(v)), 0.0, 1.0) * 255));
}

}  // namespace

SdrView::SdrView(rules::Transfer transfer) : transfer_(transfer) {
    light_.resize(kSignalSteps);
    for (int i = 0; i < kSignalSteps; ++i) {
        const double s = double(i) / (kSignalSteps - 1);
        light_[size_t(i)] =
            float(transfer == rules::Transfer::Pq ? rules::lightFromPq(s) / rules::kReferenceWhite
                                                  : rules::sceneFromHlg(s));
    }
    if (transfer == rules::Transfer::Hlg) {
        gamma_.resize(kSignalSteps);
        for (int i = 0; i < kSignalSteps; ++i)
            gamma_[size_t(i)] = float(std::pow(double(i) / (kSignalSteps - 1), rules::kHlgGamma - 1) *
                                      rules::kHlgPeak / rules::kReferenceWhite);
    }
    low_.resize(kLowSteps + 1);
    for (int i = 0; i <= kLowSteps; ++i)
        low_[size_t(i)] = byteOf(double(i) / kLowSteps);
    high_.resize(kHighSteps + 1);
    for (int i = 0; i <= kHighSteps; ++i)
        high_[size_t(i)] = byteOf(1 + (kHighest - 1) * i / kHighSteps);
}

Error SdrView::toBgr(const AVFrame* f, int w, int h, rules::Matrix matrix, bool fullRange,
                     FramePtr& bgr) const {
    const std::string what = "tone-map the frame";
    const auto from = AVPixelFormat(f->format);
    // Y'CbCr at full resolution and 16 bits; the matrix is applied here, by the rule.
    SwsPtr sws(sws_getContext(f->width, f->height, from, w, h, AV_PIX_FMT_YUV444P16LE, SWS_BICUBIC, nullptr,
                              nullptr, nullptr));
    if (!sws) return failure(what, std::string("cannot convert from ") + av_get_pix_fmt_name(from));
    FramePtr ycc = makeFrame(), out = makeFrame();
    if (!ycc || !out) return avError(AVERROR(ENOMEM), what);
    ycc->width = w, ycc->height = h, ycc->format = AV_PIX_FMT_YUV444P16LE;
    out->width = w, out->height = h, out->format = AV_PIX_FMT_BGR24;
    if (int r = av_frame_get_buffer(ycc.get(), 0); r < 0) return avError(r, what);
    if (int r = av_frame_get_buffer(out.get(), 0); r < 0) return avError(r, what);
    sws_scale(sws.get(), f->data, f->linesize, 0, f->height, ycc->data, ycc->linesize);

    const auto signalIndex = [](double v) {
        return size_t(std::lround(std::clamp(v, 0.0, 1.0) * (kSignalSteps - 1)));
    };
    const auto code = [this](double v) {
        if (v < 1) return low_[size_t(std::lround(std::max(v, 0.0) * kLowSteps))];
        return high_[size_t(std::lround(std::min((v - 1) / (kHighest - 1), 1.0) * kHighSteps))];
    };
    for (int y = 0; y < h; ++y) {
        const auto* py = reinterpret_cast<const uint16_t*>(ycc->data[0] + ptrdiff_t(y) * ycc->linesize[0]);
        const auto* pb = reinterpret_cast<const uint16_t*>(ycc->data[1] + ptrdiff_t(y) * ycc->linesize[1]);
        const auto* pr = reinterpret_cast<const uint16_t*>(ycc->data[2] + ptrdiff_t(y) * ycc->linesize[2]);
        uint8_t* dst = out->data[0] + ptrdiff_t(y) * out->linesize[0];
        for (int x = 0; x < w; ++x, dst += 3) {
            const rules::Rgb3 s =
                rules::signalOf(rules::ycbcrFromCodes({py[x], pb[x], pr[x]}, 16, fullRange), matrix);
            rules::Rgb3 lin{light_[signalIndex(s[0])], light_[signalIndex(s[1])], light_[signalIndex(s[2])]};
            if (transfer_ == rules::Transfer::Hlg) {
                const double ys = 0.2627 * lin[0] + 0.6780 * lin[1] + 0.0593 * lin[2];
                const double k = gamma_[signalIndex(ys)];
                for (double& c : lin)
                    c *= k;
            }
            const rules::Rgb3 c = rules::bt2020ToBt709(lin);
            dst[0] = code(c[2]), dst[1] = code(c[1]), dst[2] = code(c[0]);
        }
    }
    bgr = std::move(out);
    return noError();
}

}  // namespace wm
