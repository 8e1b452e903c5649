#include "encoder/hook/overlay.h"

#include "rules/mark_colour.h"
#include "rules/time_weight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace wm {
namespace {

bool componentsUsable(const AVPixFmtDescriptor* d) {
    if (!d || d->nb_components == 0) return false;
    if (d->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL |
                    AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_BAYER))
        return false;
    const bool bigEndian = d->flags & AV_PIX_FMT_FLAG_BE;
    for (int c = 0; c < d->nb_components; ++c) {
        const AVComponentDescriptor& k = d->comp[c];
        if (k.depth == 8 && k.shift == 0) continue;
        if (k.depth > 8 && k.depth <= 16 && k.step % 2 == 0 && k.offset % 2 == 0 && !bigEndian &&
            k.shift + k.depth <= 16)
            continue;
        return false;
    }
    return true;
}

bool isChroma(const AVPixFmtDescriptor* d, int c) {
    return !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3 && (c == 1 || c == 2);
}

// The same components without chroma subsampling, which libswscale can write and we can read.
AVPixelFormat fullResolutionOf(AVPixelFormat fmt, const AVPixFmtDescriptor* d) {
    if (d->log2_chroma_w == 0 && d->log2_chroma_h == 0) return fmt;
    const int depth = d->comp[0].depth;
    std::string name = (d->flags & AV_PIX_FMT_FLAG_ALPHA) ? "yuva444p" : "yuv444p";
    if (depth > 8) name += std::to_string(depth) + "le";
    return av_get_pix_fmt(name.c_str());
}

// The frame's component values of each mark colour met, by rules/mark_colour.h: a logo has few
// colours, and an HDR one costs a few powers and logarithms each.
class MarkColours {
public:
    MarkColours(const OverlayFormat& f, const AVPixFmtDescriptor* d)
        : colour_(rules::videoColourOf(f.colorMatrix, f.transfer, f.primaries, f.height)),
          rgb_(d->flags & AV_PIX_FMT_FLAG_RGB),
          alpha_((d->flags & AV_PIX_FMT_FLAG_ALPHA) ? d->nb_components - 1 : -1),
          bits_(d->comp[0].depth),
          fullRange_(f.fullRange) {}

    std::array<uint16_t, 4> of(uint8_t r, uint8_t g, uint8_t b) const {
        const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        if (const auto at = known_.find(key); at != known_.end()) return at->second;
        const std::array<uint16_t, 4> v = work(r, g, b);
        // A photograph's many colours are worked out each time rather than held.
        if (known_.size() < kMostKnown) known_.emplace(key, v);
        return v;
    }

private:
    std::array<uint16_t, 4> work(uint8_t r, uint8_t g, uint8_t b) const {
        const rules::Rgb3 s = rules::markSignal(r, g, b, colour_);
        const uint16_t max = uint16_t((1u << bits_) - 1);
        std::array<uint16_t, 4> v{};
        if (rgb_) {
            for (size_t i = 0; i < 3; ++i)
                v[i] = uint16_t(std::lround(std::clamp(s[i], 0.0, 1.0) * max));
        } else {
            const auto codes = rules::ycbcrCodes(rules::ycbcrOf(s, colour_.matrix), bits_, fullRange_);
            std::copy(codes.begin(), codes.end(), v.begin());
        }
        if (alpha_ >= 0) v[size_t(alpha_)] = max;
        return v;
    }

    rules::VideoColour colour_;
    bool rgb_;
    int alpha_;  // the alpha component, -1 for none
    int bits_;
    bool fullRange_;
    static constexpr size_t kMostKnown = 1 << 16;
    mutable std::unordered_map<uint32_t, std::array<uint16_t, 4>> known_;
};

}  // namespace

bool isKeyColour(Rgb p, Rgb key) noexcept {
    return rules::isKeyColour(p.r, p.g, p.b, key.r, key.g, key.b);
}

bool overlaySupportsFormat(const std::string& pixelFormat) {
    AVPixelFormat fmt = av_get_pix_fmt(pixelFormat.c_str());
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(fmt);
    if (!componentsUsable(d)) return false;
    AVPixelFormat full = fullResolutionOf(fmt, d);
    return full != AV_PIX_FMT_NONE && componentsUsable(av_pix_fmt_desc_get(full)) &&
           sws_isSupportedOutput(full) > 0;
}

bool Overlay::build(const RgbImage& mask, Rgb key, const OverlayFormat& f, std::string& error, int opacity) {
    runs_.clear();
    values_.clear();
    weights_.clear();
    if (opacity < 0 || opacity > kFullOpacity ||
        (!mask.alpha.empty() && mask.alpha.size() != size_t(mask.width) * size_t(mask.height))) {
        error = "invalid mask or opacity";
        return false;
    }
    const AVPixelFormat fmt = av_get_pix_fmt(f.pixelFormat.c_str());
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(fmt);
    if (f.width <= 0 || f.height <= 0) {
        error = "invalid frame size";
        return false;
    }
    if (!overlaySupportsFormat(f.pixelFormat)) {
        error = "pixel format '" + f.pixelFormat + "' is not supported";
        return false;
    }

    // The weight of every mask pixel inside the frame, and the bounding box of those above 0.
    const int cw = std::min(mask.width, f.width), ch = std::min(mask.height, f.height);
    const bool hasAlpha = !mask.alpha.empty();
    uint16_t weightOf[256];
    for (unsigned a = 0; a < 256; ++a)
        weightOf[a] = alphaWeight(a, unsigned(opacity));
    std::vector<uint16_t> weight(size_t(cw) * size_t(ch), 0);
    int x0 = f.width, y0 = f.height, x1 = -1, y1 = -1;
    for (int y = 0; y < ch; ++y) {
        const size_t row = size_t(y) * size_t(mask.width);
        const uint8_t* m = mask.rgb.data() + row * 3;
        for (int x = 0; x < cw; ++x, m += 3) {
            if (isKeyColour(Rgb{m[0], m[1], m[2]}, key)) continue;
            const uint16_t w = weightOf[hasAlpha ? mask.alpha[row + size_t(x)] : 255];
            if (w == 0) continue;
            weight[size_t(y) * size_t(cw) + size_t(x)] = w;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    }
    if (x1 < 0) return true;  // nothing to lay over

    // Widen the box to whole chroma blocks so every touched chroma sample sees all its pixels.
    const int bw = 1 << d->log2_chroma_w, bh = 1 << d->log2_chroma_h;
    x0 = x0 / bw * bw, y0 = y0 / bh * bh;
    x1 = std::min(f.width - 1, (x1 / bw + 1) * bw - 1), y1 = std::min(f.height - 1, (y1 / bh + 1) * bh - 1);
    const int boxW = x1 - x0 + 1, boxH = y1 - y0 + 1;

    // The mark's colours in the frame's own signal and depth, worked out once per colour.
    const MarkColours colours(f, d);
    const int nc = d->nb_components;
    std::vector<uint16_t> conv(size_t(boxW) * size_t(boxH) * size_t(nc));
    for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x) {
            const int mx = x0 + x, my = y0 + y;
            if (mx >= cw || my >= ch || weight[size_t(my) * size_t(cw) + size_t(mx)] == 0) continue;
            const uint8_t* m = &mask.rgb[(size_t(my) * size_t(mask.width) + size_t(mx)) * 3];
            const std::array<uint16_t, 4> v = colours.of(m[0], m[1], m[2]);
            std::copy(v.begin(), v.begin() + nc, conv.begin() + (ptrdiff_t(y) * boxW + x) * nc);
        }

    // Covered samples per component and plane row, in the frame's own layout, cut into runs.
    std::vector<Sample> row;
    for (int c = 0; c < d->nb_components; ++c) {
        const AVComponentDescriptor& k = d->comp[c];
        const int sw = isChroma(d, c) ? d->log2_chroma_w : 0, sh = isChroma(d, c) ? d->log2_chroma_h : 0;
        for (int sy = y0 >> sh; sy <= (y1 >> sh); ++sy) {
            row.clear();
            for (int sx = x0 >> sw; sx <= (x1 >> sw); ++sx) {
                // A 24-bit mask has weights 0 and 256 only: then this is the plain mean of the
                // covered pixels' values, by the share of the pixels that are covered.
                unsigned total = 0, weightSum = 0;
                uint64_t sum = 0;
                for (int py = sy << sh; py < std::min(f.height, (sy + 1) << sh); ++py)
                    for (int px = sx << sw; px < std::min(f.width, (sx + 1) << sw); ++px) {
                        ++total;
                        const unsigned w =
                            px < cw && py < ch ? weight[size_t(py) * size_t(cw) + size_t(px)] : 0;
                        if (w == 0) continue;
                        weightSum += w;
                        sum += uint64_t(conv[(size_t(py - y0) * size_t(boxW) + size_t(px - x0)) * size_t(nc) +
                                             size_t(c)]) *
                               w;
                    }
                const unsigned w = (weightSum + total / 2) / total;
                if (w == 0) continue;
                row.push_back(Sample{sx, uint16_t((sum + weightSum / 2) / weightSum), uint16_t(w)});
            }
            addRuns(row, k, sy);
        }
    }
    return true;
}

// Cuts a row of covered samples into runs of neighbours; a long enough stretch of opaque ones
// inside gets a run of its own, which apply() copies rather than mixes.
void Overlay::addRuns(const std::vector<Sample>& row, const AVComponentDescriptor& k, int sy) {
    auto add = [&](size_t from, size_t to) {
        Run run{k.plane,
                sy,
                row[from].x * k.step + k.offset,
                k.step,
                int(to - from),
                values_.size(),
                k.depth > 8,
                k.shift,
                true};
        for (size_t i = from; i < to; ++i) {
            values_.push_back(row[i].value);
            weights_.push_back(row[i].weight);
            run.opaque = run.opaque && row[i].weight == 256;
        }
        runs_.push_back(run);
    };
    for (size_t begin = 0; begin < row.size();) {
        size_t end = begin + 1;
        while (end < row.size() && row[end].x == row[end - 1].x + 1)
            ++end;
        size_t from = begin;
        for (size_t i = begin; i < end;) {
            if (row[i].weight != 256) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < end && row[j].weight == 256)
                ++j;
            if (j - i >= kMinOpaqueRun) {
                if (from < i) add(from, i);
                add(i, j);
                from = j;
            }
            i = j;
        }
        if (from < end) add(from, end);
        begin = end;
    }
}

void Overlay::apply(uint8_t* const planes[4], const int strides[4]) const noexcept {
    for (const Run& r : runs_) {
        uint8_t* p = planes[r.plane] + ptrdiff_t(r.row) * strides[r.plane] + r.byteOffset;
        const uint16_t* v = values_.data() + r.first;
        const uint16_t* w = weights_.data() + r.first;
        if (!r.wide) {
            if (r.opaque && r.step == 1) {
                for (int i = 0; i < r.count; ++i)
                    p[i] = uint8_t(v[i]);
            } else if (r.opaque) {
                for (int i = 0; i < r.count; ++i, p += r.step)
                    *p = uint8_t(v[i]);
            } else {
                for (int i = 0; i < r.count; ++i, p += r.step)
                    *p = uint8_t((unsigned(v[i]) * w[i] + unsigned(*p) * (256u - w[i]) + 128u) >> 8);
            }
        } else {
            for (int i = 0; i < r.count; ++i, p += r.step) {
                uint16_t old;
                std::memcpy(&old, p, 2);
                const unsigned cur = unsigned(old) >> r.shift;
                const unsigned mixed = (unsigned(v[i]) * w[i] + cur * (256u - w[i]) + 128u) >> 8;
                const uint16_t out = uint16_t((mixed << r.shift) | (old & ((1u << r.shift) - 1)));
                std::memcpy(p, &out, 2);
            }
        }
    }
}

}  // namespace wm

namespace wm {

void Overlay::apply(uint8_t* const planes[4], const int strides[4], unsigned factor) const noexcept {
    if (factor >= 256) return apply(planes, strides);
    if (factor == 0) return;
    // The weights of the fraction, worked out once for the frame; a sample of weight 256 mixes too.
    uint16_t scaled[257];
    for (unsigned w = 0; w <= 256; ++w)
        scaled[w] = uint16_t(rules::timedWeight(w, factor));
    for (const Run& r : runs_) {
        uint8_t* p = planes[r.plane] + ptrdiff_t(r.row) * strides[r.plane] + r.byteOffset;
        const uint16_t* v = values_.data() + r.first;
        const uint16_t* w = weights_.data() + r.first;
        if (!r.wide && r.opaque && r.step == 1) {
            // One weight for the whole run: a loop the compiler makes wide.
            const unsigned k = scaled[256];
            for (int i = 0; i < r.count; ++i)
                p[i] = uint8_t((unsigned(v[i]) * k + unsigned(p[i]) * (256u - k) + 128u) >> 8);
        } else if (!r.wide) {
            for (int i = 0; i < r.count; ++i, p += r.step) {
                const unsigned k = scaled[w[i]];
                *p = uint8_t((unsigned(v[i]) * k + unsigned(*p) * (256u - k) + 128u) >> 8);
            }
        } else {
            for (int i = 0; i < r.count; ++i, p += r.step) {
                const unsigned k = scaled[w[i]];
                uint16_t old;
                std::memcpy(&old, p, 2);
                const unsigned cur = unsigned(old) >> r.shift;
                const unsigned mixed = (unsigned(v[i]) * k + cur * (256u - k) + 128u) >> 8;
                const uint16_t out = uint16_t((mixed << r.shift) | (old & ((1u << r.shift) - 1)));
                std::memcpy(p, &out, 2);
            }
        }
    }
}

}  // namespace wm
