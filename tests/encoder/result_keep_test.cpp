// What a result keeps of its source besides the pictures, and the check of the written file.
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

using enc_test::fixture;
using enc_test::runEncoder;
using Args = std::vector<std::string>;

constexpr int kLogoX = 40, kLogoY = 30;

Args clip(const std::string& size, bool tenBit = false) {
    return {"-f", "lavfi", "-i",
            "testsrc2=size=" + size + ":rate=25:duration=2" + (tenBit ? ",format=yuv420p10le" : "")};
}
Args sine(int frequency) {
    return {"-f", "lavfi", "-i", "sine=frequency=" + std::to_string(frequency) + ":duration=2"};
}
Args join(std::initializer_list<Args> parts) {
    Args all;
    for (const Args& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string fixtureFile(const std::string& name, const std::string& text) {
    const std::string folder = std::string(WM_TEST_BIN_DIR) + "/fixtures";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/" + name, std::ios::binary) << text;
    return folder + "/" + name;
}

// A concert: title, artist, two chapters, two languages of sound and a font.
std::string concertMkv() {
    const std::string meta = fixtureFile("keep-concert.txt",
                                         ";FFMETADATA1\ntitle=Concert\nartist=The Band\ncomment=live\n"
                                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Opening\n"
                                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Encore\n");
    static constexpr char kFont[] = "\0\1\0\0 not really a font";
    const std::string font = fixtureFile("keep-font.ttf", std::string(kFont, sizeof kFont - 1));
    return fixture("keep-concert.mkv", join({clip("320x240"),
                                             sine(440),
                                             sine(880),
                                             {"-i",
                                              meta,
                                              "-map",
                                              "0",
                                              "-map",
                                              "1",
                                              "-map",
                                              "2",
                                              "-map_metadata",
                                              "3",
                                              "-map_chapters",
                                              "3",
                                              "-attach",
                                              font,
                                              "-metadata:s:t:0",
                                              "mimetype=application/x-truetype-font",
                                              "-c:v",
                                              "libx264",
                                              "-preset",
                                              "veryfast",
                                              "-pix_fmt",
                                              "yuv420p",
                                              "-c:a",
                                              "libvorbis",
                                              "-metadata:s:a:0",
                                              "language=eng",
                                              "-metadata:s:a:1",
                                              "language=fra",
                                              "-metadata:s:a:1",
                                              "title=Commentary",
                                              "-disposition:a:0",
                                              "default",
                                              "-disposition:a:1",
                                              "0"}}));
}

// A phone's clip: recorded on its side, with its date and place.
std::string phoneMp4() {
    return fixture("keep-phone.mp4",
                   join({clip("320x240"),
                         sine(440),
                         {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                          "-metadata", "creation_time=2023-05-01T10:00:00Z", "-metadata",
                          "location=+48.8584+002.2945/", "-metadata:s:v:0", "rotate=90"}}));
}

std::string tapeAvi() {
    return fixture("keep-tape.avi", join({clip("320x240"),
                                          sine(440),
                                          {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", "-metadata",
                                           "title=Old Tape", "-metadata", "date=1999"}}));
}

std::string hdrMkv() {
    return fixture("keep-hdr10.mkv", join({clip("320x240", true),
                                           sine(440),
                                           {"-c:v", "libx265", "-x265-params", "log-level=error", "-pix_fmt",
                                            "yuv420p10le", "-color_primaries", "bt2020", "-color_trc",
                                            "smpte2084", "-colorspace", "bt2020nc", "-c:a", "aac"}}));
}

std::string subtitledMp4() {
    const std::string srt = fixtureFile("keep-subtitles.srt",
                                        "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n2\n00:00:01,000 --> "
                                        "00:00:02,000\nWorld\n");
    return fixture("keep-subtitled.mp4", join({clip("320x240"),
                                               sine(440),
                                               {"-i",
                                                srt,
                                                "-map",
                                                "0",
                                                "-map",
                                                "1",
                                                "-map",
                                                "2",
                                                "-c:v",
                                                "libx264",
                                                "-preset",
                                                "veryfast",
                                                "-pix_fmt",
                                                "yuv420p",
                                                "-c:a",
                                                "aac",
                                                "-c:s",
                                                "mov_text",
                                                "-metadata:s:s:0",
                                                "language=deu",
                                                "-disposition:s:0",
                                                "forced"}}));
}

// ffprobe's container tags, chapters, stream tags and dispositions, one "key=value" a line, less
// what every muxer writes for itself.
std::set<std::string> described(const std::string& file) {
    const std::string text =
        enc_test::run("ffprobe",
                      {"-v", "error", "-show_entries",
                       "format_tags:stream_tags:stream_disposition:chapter_tags:stream_side_data=rotation:"
                       "stream=color_transfer,color_primaries",
                       "-of", "flat", file})
            .output;
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::string key = line.substr(0, line.find('='));
        key = key.substr(key.find_last_of('.') + 1);
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        key = key.substr(0, key.find('_') == 0 ? std::string::npos : key.find('-'));
        static const std::set<std::string> own = {"encoder",     "duration",      "vendor_id",
                                                  "major_brand", "minor_version", "compatible_brands"};
        if (!own.count(key)) lines.insert(line);
    }
    return lines;
}

// Every audio packet of the file, by its checksum and time.
std::string audioPackets(const std::string& file) {
    return enc_test::run("ffmpeg",
                         {"-v", "error", "-i", file, "-map", "0:a", "-c", "copy", "-f", "framemd5", "-"})
        .output;
}

struct KeepCase {
    const char* name;
    std::string (*source)();
    const char* resultExt;
    std::vector<std::string> lost;  // what the note must name; nothing else may differ
};
void PrintTo(const KeepCase& c, std::ostream* os) {
    *os << c.name;
}

class Keep : public testing::TestWithParam<KeepCase> {};

TEST_P(Keep, EverythingButThePictureStaysOrIsNamed) {
    const KeepCase& c = GetParam();
    const std::string source = c.source();
    const std::string dir = enc_test::scratchFolder(std::string("keep-") + c.name);
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 320, 240, kLogoX, kLogoY));
    const std::string result = dir + "/wm-result." + c.resultExt;
    const auto r =
        runEncoder({"-i", source, "-sameq", "-vhook",
                    enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000", "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    const auto noteAt = r.output.find("Note: the ");
    const std::string note =
        noteAt == std::string::npos ? "" : r.output.substr(noteAt, r.output.find('\n', noteAt) - noteAt);
    for (const std::string& what : c.lost)
        EXPECT_NE(note.find(what), std::string::npos) << what << " in " << note;
    if (c.lost.empty()) {
        EXPECT_EQ(note, "");
        EXPECT_EQ(described(result), described(source));
    }
    // Sound the result's container takes is the source's, packet for packet.
    if (std::string(c.resultExt) == std::filesystem::path(source).extension().string().substr(1)) {
        EXPECT_EQ(audioPackets(result), audioPackets(source));
    }
    const int streams = std::stoi(enc_test::probeValue(result, "", "format=nb_streams"));
    EXPECT_NE(r.output.find("check: 0:02.0, 50 frames, " + std::to_string(streams) + " streams\n"),
              std::string::npos)
        << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Keep,
    testing::Values(KeepCase{"ConcertMkv", concertMkv, "mkv", {}}, KeepCase{"PhoneMp4", phoneMp4, "mp4", {}},
                    KeepCase{"TapeAvi", tapeAvi, "avi", {}}, KeepCase{"Hdr10Mkv", hdrMkv, "mkv", {}},
                    KeepCase{"SubtitledMp4", subtitledMp4, "mp4", {}},
                    KeepCase{"ConcertIntoAvi",
                             concertMkv,
                             "avi",
                             {"the avi container cannot hold", "chapters", "stream #0.1 tag 'language'",
                              "stream #0.2 tag 'language'"}}),
    [](const testing::TestParamInfo<KeepCase>& i) { return std::string(i.param.name); });

// The note names the attachment the container cannot hold, and the windows' progress reader
// finds no "time" in a note.
TEST(Keep, NotesNameWhatIsLeftOutWithoutPassingForProgress) {
    const std::string dir = enc_test::scratchFolder("keep-notes");
    const auto r = runEncoder({"-i", concertMkv(), "-sameq", "-y", dir + "/into.mp4"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(
        r.output.find("Note: stream #0.3 (ttf) is not in the result: the mp4 container holds no attachments"),
        std::string::npos)
        << r.output;
    const auto lastProgress = r.output.rfind("time=");
    std::string after = r.output.substr(r.output.find('\n', lastProgress));
    std::transform(after.begin(), after.end(), after.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    EXPECT_EQ(after.find("time"), std::string::npos) << after;
}

// ---------------------------------------------------------------------------------------------
// The check: a whole result passes, a cut one fails and says why.

std::string checkOf(const std::string& source, const std::string& result, int& status) {
    const auto r = runEncoder({"-i", source, "-check", result});
    status = r.exited ? r.status : -1;
    const auto at = r.output.rfind("heck");
    return at == std::string::npos ? r.output : r.output.substr(at - 1);
}

TEST(Check, WholeResultPassesOneCutShortFails) {
    struct Cut {
        std::string (*source)();
        const char* ext;
        const char* why;
    };
    for (const Cut& c : {Cut{phoneMp4, "mp4", "the file cannot be opened"},
                         Cut{concertMkv, "mkv", "50 frames in the source, "},
                         Cut{tapeAvi, "avi", "50 frames in the source, "}}) {
        const std::string dir = enc_test::scratchFolder(std::string("check-") + c.ext);
        const std::string result = dir + "/wm-whole." + c.ext, cut = dir + "/wm-cut." + c.ext;
        ASSERT_EQ(runEncoder({"-i", c.source(), "-sameq", "-y", result}).status, 0);
        int status = -1;
        EXPECT_EQ(checkOf(c.source(), result, status).rfind("check: 0:02.0, 50 frames, ", 0), 0u) << c.ext;
        EXPECT_EQ(status, 0);
        // What a full disk leaves: the first half.
        std::filesystem::copy_file(result, cut);
        std::filesystem::resize_file(cut, std::filesystem::file_size(result) / 2);
        const std::string said = checkOf(c.source(), cut, status);
        EXPECT_EQ(status, 1) << said;
        EXPECT_EQ(said.rfind(std::string("Check failed: ") + c.why, 0), 0u) << said;
    }
}

TEST(Check, KilledEncodersPartFails) {
    const std::string source =
        fixture("check-long.mkv",
                join({{"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=20"},
                      {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "30", "-pix_fmt", "yuv420p"}}));
    const std::string dir = enc_test::scratchFolder("check-killed");
    {
        enc_test::Child child({"-i", source, "-sameq", "-y", dir + "/wm-long.mkv"});
        ASSERT_NE(child.readUntil("time=", 30'000).find("time="), std::string::npos);
        ASSERT_EQ(kill(child.pid(), SIGKILL), 0);  // our own child
        enc_test::RunResult r;
        ASSERT_TRUE(child.wait(10'000, r));
    }
    std::string part;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(".wmpart-") != std::string::npos) part = e.path().string();
    ASSERT_FALSE(part.empty());
    int status = -1;
    const std::string said = checkOf(source, part, status);
    EXPECT_EQ(status, 1) << said;
    // Cut in its header or in its frames, as the kill fell.
    EXPECT_EQ(said.rfind("Check failed: ", 0), 0u) << said;
    EXPECT_GT(said.size(), std::string("Check failed: .\n").size()) << said;
}

// A disk that drops writes and says it wrote them: the run fails its check, exits non-zero and
// keeps what it wrote under a part's name, never the result's.
TEST(Check, DiskThatDropsWritesFailsTheRunAndKeepsThePart) {
    const std::string dir = enc_test::scratchFolder("check-lying");
    const auto r = enc_test::run("env", {"LD_PRELOAD=" WM_LYING_DISK, "LYING_DISK_BYTES=20000",
                                         "ASAN_OPTIONS=verify_asan_link_order=0", enc_test::encoderPath(),
                                         "-i", phoneMp4(), "-sameq", "-y", dir + "/wm-phone.mp4"});
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 1) << r.output;
    const std::string part = dir + "/wm-phone-stopped.mp4";
    EXPECT_NE(
        r.output.find("Check failed: the file cannot be opened (Invalid data found when processing input); "
                      "the file is kept as '" +
                      part + "'.\n"),
        std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("check: "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(part));
    EXPECT_FALSE(std::filesystem::exists(dir + "/wm-phone.mp4"));
}

// Each video packet's "key=value" fields (pts, pos, size, flags), one packet a line.
std::vector<std::map<std::string, std::string>> videoPackets(const std::string& file) {
    const std::string text =
        enc_test::run("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                  "packet=pts,pos,size,flags", "-of", "compact=p=0", file})
            .output;
    std::vector<std::map<std::string, std::string>> packets;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        auto& fields = packets.emplace_back();
        std::istringstream parts(line);
        for (std::string part; std::getline(parts, part, '|');)
            fields[part.substr(0, part.find('='))] = part.substr(part.find('=') + 1);
    }
    return packets;
}

// A frame whose bytes were lost (zeroed, as a disk that drops a block leaves them) though the
// index still lists it: the first frame shown, or the last, fails the check.
TEST(Check, LostFirstOrLastFrameFails) {
    const std::string source = phoneMp4();
    const std::string dir = enc_test::scratchFolder("check-lost-frame");
    const std::string whole = dir + "/wm-whole.mp4";
    ASSERT_EQ(runEncoder({"-i", source, "-sameq", "-y", whole}).status, 0);
    const auto packets = videoPackets(whole);
    ASSERT_FALSE(packets.empty());
    const auto byTime = [](const auto& a, const auto& b) {
        return std::stoll(a.at("pts")) < std::stoll(b.at("pts"));
    };
    const auto first = *std::min_element(packets.begin(), packets.end(), byTime);
    const auto last = *std::max_element(packets.begin(), packets.end(), byTime);
    for (const auto& [lost, why] : {std::pair{first, "its first frame does not decode"},
                                    std::pair{last, "its last frame does not decode"}}) {
        const std::string damaged = dir + "/wm-damaged.mp4";
        std::filesystem::copy_file(whole, damaged, std::filesystem::copy_options::overwrite_existing);
        {
            std::fstream f(damaged, std::ios::binary | std::ios::in | std::ios::out);
            f.seekp(std::stoll(lost.at("pos")));
            const std::string zeros(std::stoul(lost.at("size")), '\0');
            f.write(zeros.data(), std::streamsize(zeros.size()));
        }
        int status = -1;
        const std::string said = checkOf(source, damaged, status);
        EXPECT_EQ(status, 1) << said;
        EXPECT_EQ(said, std::string("Check failed: ") + why + ".\n");
    }
}

// A long result ends with a short group of frames, so that the check decodes little to reach the
// last frame: x264 puts its key frames ten seconds apart, the result has one in its last second.
TEST(Check, LongResultHasAKeyFrameInItsLastSecond) {
    const std::string source =
        fixture("check-eight-seconds.mp4", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=8",
                                            "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    const std::string result = enc_test::scratchFolder("check-last-key") + "/wm-long.mp4";
    const auto r = runEncoder({"-i", source, "-sameq", "-y", result});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("check: 0:08.0, 200 frames, 1 stream\n"), std::string::npos) << r.output;
    const auto packets = videoPackets(result);
    ASSERT_EQ(packets.size(), 200u);
    const auto key = std::find_if(packets.rbegin(), packets.rend(),
                                  [](const auto& p) { return p.at("flags").find('K') != std::string::npos; });
    ASSERT_NE(key, packets.rend());
    EXPECT_LE(key - packets.rbegin(), 25);
}

// "-nocheck" writes the same result and leaves the reading back out: a disk that drops writes goes
// unnoticed, the price of the time saved. The times the bench reads say the check took none.
TEST(Check, NocheckLeavesTheResultUnread) {
    const std::string dir = enc_test::scratchFolder("check-skipped");
    const auto r = enc_test::run(
        "env", {"LD_PRELOAD=" WM_LYING_DISK, "LYING_DISK_BYTES=20000",
                "ASAN_OPTIONS=verify_asan_link_order=0", "MXCODE_TIMES=1", enc_test::encoderPath(), "-i",
                phoneMp4(), "-sameq", "-nocheck", "-y", dir + "/wm-phone.mp4"});
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("check: "), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Check failed"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" s, check 0.000 s\n"), std::string::npos) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir + "/wm-phone.mp4"));
}

// ---------------------------------------------------------------------------------------------
// "MP4 to share": H.264 High in yuv420p, AAC, the index before the data, the rotation kept, the
// look kept outside the mark.

// The top-level boxes of an MP4, in order.
std::vector<std::string> topBoxes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> boxes;
    for (;;) {
        unsigned char head[16];
        if (!in.read(reinterpret_cast<char*>(head), 8)) break;
        uint64_t size =
            (uint64_t(head[0]) << 24) | (uint64_t(head[1]) << 16) | (uint64_t(head[2]) << 8) | head[3];
        boxes.emplace_back(reinterpret_cast<char*>(head) + 4, 4);
        uint64_t headSize = 8;
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(head + 8), 8)) break;
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | head[i];
            headSize = 16;
        }
        if (size < headSize) break;
        in.seekg(std::streamoff(size - headSize), std::ios::cur);
    }
    return boxes;
}

// The PSNR of the luma below the mark (rows 80 on), the reference made by `toReference` from the source.
double psnrBelowMark(const std::string& result, const std::string& source, const std::string& toReference) {
    const auto r = enc_test::run(
        "ffmpeg", {"-hide_banner", "-noautorotate", "-i", result, "-noautorotate", "-i", source, "-lavfi",
                   "[0:v]crop=320:160:0:80,format=yuv420p[a];[1:v]" + toReference +
                       "crop=320:160:0:80,format=yuv420p[b];[a][b]psnr",
                   "-f", "null", "-"});
    const auto at = r.output.find("average:");
    if (at == std::string::npos) return 0;
    return r.output.compare(at + 8, 3, "inf") == 0 ? 99 : std::stod(r.output.substr(at + 8));
}

struct ShareCase {
    const char* name;
    std::string (*source)();
    const char* note;  // a note the run must give, or ""
};
void PrintTo(const ShareCase& c, std::ostream* os) {
    *os << c.name;
}

class Share : public testing::TestWithParam<ShareCase> {};

TEST_P(Share, PlaysAnywhereAndKeepsTheLook) {
    const ShareCase& c = GetParam();
    const std::string source = c.source();
    const std::string dir = enc_test::scratchFolder(std::string("share-") + c.name);
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 320, 240, kLogoX, kLogoY));
    const std::string result = dir + "/wm-result.mp4";
    const auto r = runEncoder({"-i", source, "-sameq", "-vhook",
                               enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000", "-share",
                               "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_NE(r.output.find(c.note), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("check: 0:02.0, 50 frames, "), std::string::npos) << r.output;

    EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=codec_name"), "h264");
    const std::string profile = enc_test::probeValue(result, "v:0", "stream=profile");
    EXPECT_TRUE(profile == "High" || profile == "Main") << profile;
    EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=pix_fmt"), "yuv420p");
    const std::string audio =
        enc_test::run("ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries", "stream=codec_name",
                                  "-of", "csv=p=0", result})
            .output;
    std::istringstream codecs(audio);
    for (std::string codec; std::getline(codecs, codec);)
        EXPECT_EQ(codec, "aac");
    EXPECT_FALSE(audio.empty());
    const std::vector<std::string> boxes = topBoxes(result);
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov"),
               mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_TRUE(moov != boxes.end() && mdat != boxes.end());
    EXPECT_LT(moov, mdat);
    // Never more frames than the source, and the rotation a phone gave its clip.
    EXPECT_EQ(enc_test::countFrames(result), enc_test::countFrames(source));
    EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream_side_data=rotation"),
              enc_test::probeValue(source, "v:0", "stream_side_data=rotation"));
    const bool hdr = enc_test::probeValue(source, "v:0", "stream=color_transfer") == "smpte2084";
    if (hdr) {
        EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=color_transfer"), "bt709");
    }
    const std::string toneMap =
        hdr ? "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:"
              "desat=0,zscale=t=bt709:m=bt709:r=tv,"
            : "";
    EXPECT_GE(psnrBelowMark(result, source, toneMap), 38.0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Share,
    testing::Values(ShareCase{"ConcertMkv", concertMkv, "stream #0.3 (ttf) is not in the result"},
                    ShareCase{"PhoneMp4", phoneMp4, ""}, ShareCase{"TapeAvi", tapeAvi, ""},
                    ShareCase{"Hdr10Mkv", hdrMkv,
                              "Note: the 10-bit HDR picture is converted to 8-bit BT.709 for sharing"},
                    ShareCase{"SubtitledMp4", subtitledMp4, ""}),
    [](const testing::TestParamInfo<ShareCase>& i) { return std::string(i.param.name); });

}  // namespace
