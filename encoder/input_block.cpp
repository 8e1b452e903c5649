#include "encoder/input_block.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

namespace wm {
namespace {

constexpr size_t kBlockBudget = 900;  // well inside one 1024-byte chunk of the windows' reader
constexpr size_t kVideoWindow = 40;   // characters the windows look at from "Video"

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool holdsX(const std::string& s) {
    return s.find_first_of("xX") != std::string::npos;
}

std::string padLeft(std::string s, size_t n) {
    if (s.size() < n) s.insert(0, n - s.size(), ' ');
    return s;
}
std::string padRight(std::string s, size_t n) {
    if (s.size() < n) s.append(n - s.size(), ' ');
    return s;
}

std::string fpsText(double fps) {
    char buf[32];
    if (fps == static_cast<double>(static_cast<int64_t>(fps)))
        std::snprintf(buf, sizeof buf, "%" PRId64 " fps", static_cast<int64_t>(fps));
    else
        std::snprintf(buf, sizeof buf, "%.2f fps", fps);
    return buf;
}

std::string kbps(int64_t bitRate) {
    return std::to_string(bitRate / 1000) + " kb/s";
}

std::string videoBody(const StreamSummary& s) {
    std::vector<std::string> names;
    if (!s.codec.empty()) names.push_back(cleanName(s.codec, 24));
    if (!s.pixelFormat.empty()) names.push_back(cleanName(s.pixelFormat, 24));

    std::string width = padLeft(std::to_string(s.width), 3);
    std::string height = padRight(std::to_string(s.height), 3);

    // Names go before the size only while they keep the size's "x" the first one and its
    // 9-character window inside the 40 characters the windows read.
    std::string before = "Video: ";
    size_t kept = 0;
    for (; kept < names.size(); ++kept) {
        std::string next = before + names[kept] + ", ";
        if (holdsX(names[kept]) || next.size() + width.size() + 4 >= kVideoWindow) break;
        before = std::move(next);
    }
    std::string line = before + width + "x" + height + " ";
    if (s.sarNum > 0 && s.sarDen > 0) {
        int64_t dn = int64_t(s.width) * s.sarNum, dd = int64_t(s.height) * s.sarDen;
        int64_t a = dn, b = dd;
        while (b) {
            int64_t t = a % b;
            a = b;
            b = t;
        }
        if (a == 0) a = 1;
        line += "[SAR " + std::to_string(s.sarNum) + ":" + std::to_string(s.sarDen) + " DAR " +
                std::to_string(dn / a) + ":" + std::to_string(dd / a) + "]";
    }
    for (size_t i = kept; i < names.size(); ++i)
        line += ", " + names[i];
    if (s.bitRate > 0) line += ", " + kbps(s.bitRate);
    if (s.fps > 0) line += ", " + fpsText(s.fps);
    return line;
}

}  // namespace

std::string cleanName(const std::string& name, size_t maxLength) {
    std::string s;
    for (unsigned char c : name)
        s += (c < 0x20 || c == 0x7f || c == '\'') ? '_' : char(c);
    // Break the words the windows search for by replacing their second letter.
    for (const char* word : {"time", "duration"}) {
        std::string low = lower(s);
        const std::string w = word;
        for (size_t p = low.find(w); p != std::string::npos; p = low.find(w, p + 1))
            s[p + 1] = '_';
    }
    if (s.size() > maxLength) s = "..." + s.substr(s.size() - (maxLength - 3));
    return s;
}

std::string recordedMoment(const std::string& t) {
    // Fixed fields: digits where the pattern has '9', the character itself elsewhere.
    auto fits = [&t](size_t at, const char* pattern) {
        for (size_t i = 0; pattern[i]; ++i) {
            if (at + i >= t.size()) return false;
            const char c = t[at + i];
            if (pattern[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : c != pattern[i])
                return false;
        }
        return true;
    };
    auto number = [&t](size_t at, size_t n) {
        return std::stoi(t.substr(at, n));
    };
    if (!fits(0, "9999-99-99")) return {};
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (year < 1000 || month < 1 || month > 12 || day < 1 || day > 31) return {};
    std::string out = t.substr(0, 10);
    size_t at = 10;
    if (at == t.size()) return out;
    if ((t[at] != 'T' && t[at] != ' ') || !fits(at + 1, "99:99:99")) return {};
    if (number(at + 1, 2) > 23 || number(at + 4, 2) > 59 || number(at + 7, 2) > 60) return {};
    out += "T" + t.substr(at + 1, 8);
    at += 9;
    if (at < t.size() && t[at] == '.') {
        ++at;
        while (at < t.size() && std::isdigit(static_cast<unsigned char>(t[at])))
            ++at;
    }
    if (at == t.size()) return out;
    if (t[at] == 'Z' && at + 1 == t.size()) return out + "Z";
    if ((t[at] == '+' || t[at] == '-') && fits(at + 1, "99:99") && at + 6 == t.size() &&
        number(at + 1, 2) <= 14 && number(at + 4, 2) <= 59)
        return out + t.substr(at);
    return {};
}

std::string formatDuration(int64_t us) {
    if (us < 0) us = 0;
    int64_t hundredths = us / 10000;
    int64_t secs = hundredths / 100;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02d:%02d.%02d", secs / 3600, int(secs / 60 % 60),
                  int(secs % 60), int(hundredths % 100));
    return buf;
}

std::string formatStreamLine(const StreamSummary& s, int fileIndex) {
    std::string head = "    Stream #" + std::to_string(fileIndex) + "." + std::to_string(s.index) + ": ";
    std::string codec = cleanName(s.codec.empty() ? "none" : s.codec, 24);
    switch (s.kind) {
        case StreamSummary::Kind::Video:
            return head + videoBody(s);
        case StreamSummary::Kind::Audio: {
            std::string line = head + "Audio: " + codec;
            if (s.sampleRate > 0) line += ", " + std::to_string(s.sampleRate) + " Hz";
            if (!s.channelLayout.empty()) line += ", " + cleanName(s.channelLayout, 24);
            if (!s.sampleFormat.empty()) line += ", " + cleanName(s.sampleFormat, 16);
            if (s.bitRate > 0) line += ", " + kbps(s.bitRate);
            return line;
        }
        case StreamSummary::Kind::Subtitle:
            return head + "Subtitle: " + codec;
        case StreamSummary::Kind::Data:
            return head + "Data: " + codec;
        case StreamSummary::Kind::Attachment:
            return head + "Attachment: " + codec;
        case StreamSummary::Kind::Other:
            break;
    }
    return head + "Unknown: " + codec;
}

std::string leftOutNote(const std::string& why) {
    std::string text = "      Note: left out of the result, " + cleanName(why, 48);
    for (char& c : text)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == 'x' || c == 'X') c = '_';
    return text;
}

std::string displayLine(const StreamSummary& s) {
    if (s.kind != StreamSummary::Kind::Video || s.orientation.upright() || s.width <= 0 || s.height <= 0)
        return {};
    const rules::PixelSize shown = rules::uprightSize({s.width, s.height}, s.orientation);
    std::string text = "      Display: ";
    if (s.orientation.quarterTurns != 0) text += "rotate " + std::to_string(s.orientation.degrees()) + ", ";
    if (s.orientation.mirrored) text += "mirror, ";
    return text + "shown " + std::to_string(shown.width) + "x" + std::to_string(shown.height);
}

std::string hdrLine(const StreamSummary& s) {
    if (s.kind != StreamSummary::Kind::Video || (s.hdr != "PQ" && s.hdr != "HLG")) return {};
    return "      HDR: " + s.hdr;
}

std::string formatInputBlock(const InputSummary& in, int index) {
    std::string block = "Input #" + std::to_string(index) + ", " + cleanName(in.formatName, 32) + ", from '" +
                        cleanName(in.fileName) + "':\n";
    if (!in.recorded.empty()) block += "  Recorded: " + in.recorded + "\n";
    block += "  Duration: ";
    if (in.durationUs >= 0) {
        char start[48];
        std::snprintf(start, sizeof start, "%.6f", double(in.startUs) / 1e6);
        block += formatDuration(in.durationUs) + ", start: " + start;
    } else {
        block += "N/A, start: N/A";
    }
    block += ", bitrate: " + (in.bitRate > 0 ? kbps(in.bitRate) : std::string("N/A")) + "\n";
    for (size_t i = 0; i < in.streams.size(); ++i) {
        std::string line = formatStreamLine(in.streams[i], 0) + "\n";
        if (std::string display = displayLine(in.streams[i]); !display.empty()) line += display + "\n";
        if (std::string hdr = hdrLine(in.streams[i]); !hdr.empty()) line += hdr + "\n";
        if (!in.streams[i].leftOut.empty()) line += leftOutNote(in.streams[i].leftOut) + "\n";
        if (block.size() + line.size() > kBlockBudget) {
            block += "    (" + std::to_string(in.streams.size() - i) + " more streams)\n";
            break;
        }
        block += line;
    }
    return block;
}

}  // namespace wm
