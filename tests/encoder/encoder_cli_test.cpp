// The encoder as the windows run it: probe text, conversions, bad input, signals.
#include "encoder_run.h"
#include "jobs/probe_parse.h"
#include "jobs/progress_parse.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <sys/xattr.h>

#include <sstream>

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using enc_test::fixture;
using enc_test::probeValue;
using enc_test::runEncoder;
using Args = std::vector<std::string>;

Args lavfi(const std::string& size, double seconds, bool audio) {
    const std::string d = std::to_string(seconds);
    // testsrc2 rounds odd sizes down; testsrc keeps them.
    const int w = std::stoi(size), h = std::stoi(size.substr(size.find('x') + 1));
    const std::string generator = (w % 2 || h % 2) ? "testsrc" : "testsrc2";
    Args a = {"-f", "lavfi", "-i", generator + "=size=" + size + ":rate=25:duration=" + d};
    if (audio) a.insert(a.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + d});
    return a;
}

Args concat(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Source {
    const char* file;
    const char* size;
    Args codecs;
    bool audio = true;
};
void PrintTo(const Source& s, std::ostream* os) {
    *os << s.file;
}

std::string make(const Source& s) {
    return fixture(s.file, concat(lavfi(s.size, 2, s.audio), s.codecs));
}

const Source kH264Mp4{
    "h264.mp4", "320x240", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}};
const Source kMpeg4Avi{"mpeg4.avi", "321x241", {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame"}};
const Source kMpeg1Mpg{"mpeg1.mpg", "352x288", {"-c:v", "mpeg1video", "-q:v", "3", "-c:a", "mp2"}};
const Source kMpeg2Mpeg{"mpeg2.mpeg", "176x144", {"-c:v", "mpeg2video", "-q:v", "3", "-c:a", "mp2"}};
const Source kWmv{"wmv2.wmv", "320x240", {"-c:v", "wmv2", "-q:v", "3", "-c:a", "wmav2"}};
const Source kFlv{"flv1.flv", "320x240", {"-c:v", "flv", "-q:v", "3", "-c:a", "libmp3lame", "-ar", "44100"}};
const Source kMov{"mjpeg.mov", "160x120", {"-c:v", "mjpeg", "-q:v", "3", "-c:a", "pcm_s16le"}};
const Source kWebm{"vp8.webm", "160x120", {"-c:v", "libvpx", "-b:v", "1M", "-c:a", "libvorbis"}};
const Source kAv1Mp4{
    "av1.mp4",
    "320x240",
    {"-c:v", "libaom-av1", "-cpu-used", "8", "-b:v", "300k", "-pix_fmt", "yuv420p", "-c:a", "aac"}};
const Source kHevcMkv{
    "hevc.mkv",
    "320x240",
    {"-c:v", "libx265", "-pix_fmt", "yuv420p", "-x265-params", "log-level=error", "-c:a", "libvorbis"}};
const Source kVp9Mkv{
    "vp9.mkv", "176x96", {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-b:v", "500k"}, false};
const Source kTs{
    "h264.ts", "320x180", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}};
const Source kDivx{
    "msmpeg4.divx", "320x240", {"-c:v", "msmpeg4", "-q:v", "3", "-c:a", "libmp3lame", "-f", "avi"}};
const Source kTinyMkv{"ffv1.mkv", "9x7", {"-c:v", "ffv1"}, false};
// A palette: the marked frames cannot be put back into one, and are coded in full colour.
const Source kPaletteAvi{"pal8.avi", "160x120", {"-c:v", "rawvideo", "-pix_fmt", "pal8"}, false};
const Source kM4v{
    "h264-444.m4v",
    "1280x720",
    {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv444p", "-t", "0.4", "-f", "mp4"},
    false};

// 20 seconds of 720p: long enough to be caught in the middle.
std::string longSource() {
    return fixture("long-720p.mp4",
                   concat(lavfi("1280x720", 20, true), {"-c:v", "libx264", "-preset", "ultrafast", "-crf",
                                                        "30", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> partFiles(const std::string& dir) {
    std::vector<std::string> parts;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(".wmpart-") != std::string::npos)
            parts.push_back(e.path().filename().string());
    return parts;
}

// ---------------------------------------------------------------------------------------------
// Probe: the main window's parse of the real text.

class Probe : public testing::TestWithParam<Source> {};

TEST_P(Probe, WindowParseFindsDurationAndSize) {
    const std::string file = make(GetParam());
    const enc_test::RunResult r = runEncoder({"-i", file});
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("At least one output file must be specified"), std::string::npos) << r.output;

    // The window reads chunks of at most 1024 bytes; the first one must carry both facts.
    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(r.output.substr(0, 1024)));
    const std::string size = GetParam().size;
    EXPECT_EQ(facts.width.value_or("?").toStdString(), size.substr(0, size.find('x'))) << r.output;
    EXPECT_EQ(facts.height.value_or("?").toStdString(), size.substr(size.find('x') + 1)) << r.output;
    ASSERT_TRUE(facts.duration) << r.output;
    EXPECT_EQ(facts.duration->size(), 11);
    const double expected = std::stod(probeValue(file, "", "format=duration"));
    EXPECT_NEAR(durationSeconds(*facts.duration) + facts.duration->mid(8, 3).toDouble(), expected, 0.011)
        << facts.duration->toStdString();
    EXPECT_EQ(QString::fromStdString(r.output).indexOf("time", 0, Qt::CaseInsensitive), -1) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Containers, Probe,
                         testing::Values(kH264Mp4, kMpeg4Avi, kMpeg1Mpg, kMpeg2Mpeg, kWmv, kFlv, kMov, kWebm,
                                         kVp9Mkv, kHevcMkv, kAv1Mp4, kTs, kDivx, kTinyMkv, kM4v),
                         [](const testing::TestParamInfo<Source>& i) {
                             std::string n = i.param.file;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// ---------------------------------------------------------------------------------------------
// Conversion: shape kept, watermark laid over, the rest close to the source.

struct ConversionCase {
    Source source;
    const char* resultExt;
};
void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.source.file << " to " << c.resultExt;
}

constexpr int kLogoX = 24, kLogoY = 16;  // the test mask's logo: 60x40, red left half, white right half

double psnrOutsideLogo(const std::string& result, const std::string& source, int w, int h) {
    const int top = kLogoY + 40 + 8;
    // From each file's first frame: muxers may shift a whole stream (B-frame delay, frame grid).
    // One pixel format for both: a palette source and its full-colour result compare too.
    const std::string crop = "setpts=PTS-STARTPTS,format=yuv444p,crop=" + std::to_string(w) + ":" +
                             std::to_string(h - top) + ":0:" + std::to_string(top);
    const auto r =
        enc_test::run("ffmpeg", {"-hide_banner", "-i", result, "-i", source, "-lavfi",
                                 "[0:v]" + crop + "[a];[1:v]" + crop + "[b];[a][b]psnr", "-f", "null", "-"});
    const auto at = r.output.find("PSNR y:");
    if (at == std::string::npos) return 0;
    return r.output.compare(at + 7, 3, "inf") == 0 ? 99 : std::stod(r.output.substr(at + 7));
}

std::string rgbFrame(const std::string& file, int index) {
    return enc_test::run("ffmpeg", {"-loglevel", "quiet", "-i", file, "-vf",
                                    "select=eq(n\\," + std::to_string(index) + ")", "-frames:v", "1", "-f",
                                    "rawvideo", "-pix_fmt", "rgb24", "-"})
        .output;
}

class Conversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, KeepsShapeAndLaysWatermarkOver) {
    const ConversionCase& c = GetParam();
    const std::string source = make(c.source);
    const std::string dir = enc_test::scratchFolder(std::string("conv-") + c.source.file + c.resultExt);
    const int w = std::stoi(probeValue(source, "v:0", "stream=width"));
    const int h = std::stoi(probeValue(source, "v:0", "stream=height"));
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", w, h, kLogoX, kLogoY));
    const std::string result = dir + "/wm-result." + c.resultExt;

    const auto r =
        runEncoder({"-i", source, "-sameq", "-vhook",
                    enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000", "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;

    EXPECT_EQ(probeValue(result, "v:0", "stream=width"), std::to_string(w));
    EXPECT_EQ(probeValue(result, "v:0", "stream=height"), std::to_string(h));
    EXPECT_EQ(enc_test::countFrames(result), enc_test::countFrames(source));
    EXPECT_NEAR(std::stod(probeValue(result, "", "format=duration")),
                std::stod(probeValue(source, "", "format=duration")), 0.1);
    EXPECT_EQ(probeValue(result, "a:0", "stream=codec_type"), c.source.audio ? "audio" : "");

    const std::string frame = rgbFrame(result, 10);
    ASSERT_EQ(frame.size(), size_t(w * h * 3));
    auto px = [&](int x, int y, int ch) {
        return int(static_cast<unsigned char>(frame[size_t((y * w + x) * 3 + ch)]));
    };
    const int y = kLogoY + 20;
    EXPECT_GE(px(kLogoX + 15, y, 0), 225);  // red half
    EXPECT_LE(px(kLogoX + 15, y, 1), 30);
    EXPECT_LE(px(kLogoX + 15, y, 2), 30);
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_GE(px(kLogoX + 45, y, ch), 230);  // white half

    EXPECT_GE(psnrOutsideLogo(result, source, w, h), 40.0);

    // Progress: the last line's time is the result's length, read as the window reads it.
    const auto last = r.output.rfind("frame=");
    ASSERT_NE(last, std::string::npos) << r.output;
    const auto elapsed = elapsedTextOf(QString::fromStdString(r.output.substr(last)));
    ASSERT_TRUE(elapsed) << r.output;
    EXPECT_NEAR(elapsed->toDouble(), std::stod(probeValue(source, "", "format=duration")), 0.2);
    const auto firstProgress = r.output.find("frame=");
    const std::string before = r.output.substr(0, firstProgress);
    EXPECT_EQ(QString::fromStdString(before).indexOf("time", 0, Qt::CaseInsensitive), -1);
    // Only our own description comes before the progress: no codec library's log.
    std::istringstream lines(before);
    for (std::string line; std::getline(lines, line);) {
        const bool ours = line.rfind("Input #0", 0) == 0 || line.rfind("Output #0", 0) == 0 ||
                          line.rfind("  Duration: ", 0) == 0 || line.rfind("    Stream #0.", 0) == 0;
        EXPECT_TRUE(ours) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, Conversion,
                         testing::Values(ConversionCase{kMpeg4Avi, "avi"}, ConversionCase{kH264Mp4, "mp4"},
                                         ConversionCase{kMpeg1Mpg, "mpg"}, ConversionCase{kMpeg2Mpeg, "mpeg"},
                                         ConversionCase{kWmv, "wmv"}, ConversionCase{kFlv, "flv"},
                                         ConversionCase{kMov, "mov"}, ConversionCase{kWebm, "webm"},
                                         ConversionCase{kVp9Mkv, "mkv"}, ConversionCase{kHevcMkv, "mkv"},
                                         ConversionCase{kAv1Mp4, "mp4"}, ConversionCase{kTs, "ts"},
                                         ConversionCase{kDivx, "divx"}, ConversionCase{kH264Mp4, "m4v"},
                                         ConversionCase{kMpeg4Avi, "mp4"}, ConversionCase{kH264Mp4, "flv"},
                                         ConversionCase{kPaletteAvi, "avi"}),
                         [](const testing::TestParamInfo<ConversionCase>& i) {
                             std::string n = std::string(i.param.source.file) + "_to_" + i.param.resultExt;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// An old film as many still have them, MPEG-4 ASP tagged XVID with AC-3 sound in AVI: the result
// keeps the tag, reads without a timestamp warning with every sound packet in order, and is about
// the source's size at its quality (the source's own quantiser, frame by frame).
TEST(Audio, AnXvidFilmWithAc3KeepsItsTagTimesAndSize) {
    const std::string source = fixture(
        "film.avi", concat(lavfi("720x528", 2, false),
                           {"-f", "lavfi", "-i", "sine=duration=2:sample_rate=48000", "-r", "24000/1001",
                            "-c:v", "mpeg4", "-vtag", "XVID", "-q:v", "4", "-c:a", "ac3", "-b:a", "192k"}));
    const std::string dir = enc_test::scratchFolder("xvid-film");
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 720, 528, kLogoX, kLogoY));
    const std::string result = dir + "/wm-film.avi";
    const auto r =
        runEncoder({"-i", source, "-sameq", "-vhook",
                    enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000", "-y", result});
    ASSERT_EQ(r.status, 0) << r.output;

    EXPECT_EQ(probeValue(result, "v:0", "stream=codec_tag_string"), "XVID");
    const auto warnings = enc_test::run("ffmpeg", {"-v", "warning", "-i", result, "-f", "null", "-"});
    EXPECT_EQ(warnings.output.find("non monotonically"), std::string::npos) << warnings.output;
    const auto packets = [](const std::string& file) {
        return enc_test::run("ffprobe",
                             {"-v", "error", "-select_streams", "a", "-count_packets", "-show_entries",
                              "stream=nb_read_packets,nb_frames", "-of", "csv=p=0", file})
            .output;
    };
    EXPECT_EQ(packets(result), packets(source));
    const auto a = std::filesystem::file_size(result), b = std::filesystem::file_size(source);
    EXPECT_LE(double(a) / double(b), 1.3) << a << " bytes from " << b;
    EXPECT_GE(psnrOutsideLogo(result, source, 720, 528), 40.0);
}

TEST(Audio, CopiedUntouchedOrResampled) {
    const std::string source = make(kH264Mp4);
    const std::string dir = enc_test::scratchFolder("audio");
    ASSERT_EQ(runEncoder({"-i", source, "-sameq", "-y", dir + "/copy.mp4"}).status, 0);
    for (const char* entry :
         {"stream=codec_name", "stream=sample_rate", "stream=bit_rate", "stream=nb_frames"})
        EXPECT_EQ(probeValue(dir + "/copy.mp4", "a:0", entry), probeValue(source, "a:0", entry)) << entry;

    for (const char* ext : {"mp4", "avi", "wmv"}) {
        const std::string out = dir + "/resampled." + ext;
        const auto r = runEncoder({"-i", make(kMpeg4Avi), "-sameq", "-ar", "22050", "-y", out});
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(probeValue(out, "a:0", "stream=sample_rate"), "22050") << ext;
        EXPECT_NEAR(std::stod(probeValue(out, "", "format=duration")), 2.0, 0.15) << ext;
    }
}

// ---------------------------------------------------------------------------------------------
// Bad input: a clear line, no crash; a non-zero exit and nothing written, or, where the input is
// usable in part, a result of the usable part.

struct FaultCase {
    const char* name;
    const char* expected;   // part of the console text
    bool converts = false;  // the input is usable in part: the rest is converted
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class Fault : public testing::TestWithParam<FaultCase> {};

TEST_P(Fault, ExplainsAndFailsCleanly) {
    const FaultCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("fault-") + c.name);
    const std::string source = make(kMpeg4Avi);
    std::string input = source, result = dir + "/wm-out.avi", mask = dir + "/mask.bmp", key = "000000";
    std::string module = enc_test::hookPath();
    ASSERT_TRUE(enc_test::writeMask(mask, 321, 241, kLogoX, kLogoY));
    Args extra;
    std::string prefix;
    const std::string n = c.name;
    auto writeFile = [](const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    };
    if (n == "MissingInput") input = dir + "/none.avi";
    if (n == "FolderAsInput") input = dir;
    if (n == "TextInput") writeFile(input = dir + "/notes.avi", "just some words, not a video\n");
    if (n == "AudioOnlyInput") input = fixture("tone.wav", {"-f", "lavfi", "-i", "sine=duration=1"});
    if (n == "MissingMask") mask = dir + "/none.bmp";
    if (n == "TruncatedMask") std::filesystem::resize_file(mask, 1000);
    if (n == "PaletteMask") {
        std::fstream f(mask, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(28);
        f.put(8);
    }
    if (n == "BadKey") key = "12345G";
    if (n == "MissingModule") module = dir + "/none.dll";
    if (n == "NotAModule") writeFile(module = dir + "/fake.dll", "MZ not really a module\n");
    if (n == "PartialModule") module = WM_PARTIAL_HOOK;
    if (n == "MissingFolder") result = dir + "/no/such/folder/out.avi";
    if (n == "FileAsFolder") {
        writeFile(dir + "/plain", "x");
        result = dir + "/plain/out.avi";
    }
    if (n == "UnknownExtension") result = dir + "/out.xyz";
    if (n == "FullDisk") prefix = "--fsize=60000";
    if (n == "EmptyMaskPath") mask = "";
    if (n.rfind("LateSound", 0) == 0 || n.rfind("GlimpsedSound", 0) == 0) {
        // Video alone, then video with sound, [then video alone]: the sound starts past the
        // probe's reach and, when the file ends without it, is not seen at the end either.
        const std::string ext = n.find("Ts") != std::string::npos ? ".ts" : ".mpg";
        auto part = [](int seconds, int offset, bool sound) {
            Args a = {"-f", "lavfi", "-i",
                      "testsrc2=size=160x120:rate=25:duration=" + std::to_string(seconds)};
            if (sound)
                a.insert(a.end(), {"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=2", "-c:a", "mp2"});
            return concat(a,
                          {"-c:v", "mpeg2video", "-q:v", "4", "-output_ts_offset", std::to_string(offset)});
        };
        std::vector<Args> parts = {part(6, 0, false), part(2, 6, true)};
        if (n.rfind("LateSound", 0) == 0) parts.push_back(part(5, 8, false));
        input = enc_test::joinedFixture(n + ext, parts);
    }

    Args args = {"-i", input, "-sameq", "-vhook", module + " -f " + mask + " -m 1 -t " + key, "-y", result};
    const auto r = prefix.empty()
                       ? runEncoder(args)
                       : enc_test::run("prlimit", concat({prefix, "--", enc_test::encoderPath()}, args));
    ASSERT_TRUE(r.exited) << "crashed: " << r.output;
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    if (c.converts) {
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(enc_test::countFrames(result), enc_test::countFrames(input));
        EXPECT_EQ(probeValue(result, "a:0", "stream=codec_type"), "");  // the unusable sound left out
    } else {
        EXPECT_NE(r.status, 0) << r.output;
        EXPECT_FALSE(std::filesystem::exists(result));
    }
    for (const auto& e : std::filesystem::directory_iterator(dir))  // no working file left behind
        EXPECT_EQ(e.path().filename().string().find(".wm-out.avi.part"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Fault,
    testing::Values(
        FaultCase{"MissingInput", "No such file or directory"}, FaultCase{"FolderAsInput", "is a folder"},
        FaultCase{"TextInput", "Invalid data found"}, FaultCase{"AudioOnlyInput", "holds no video stream"},
        FaultCase{"MissingMask", "cannot open mask"}, FaultCase{"TruncatedMask", "truncated BMP"},
        FaultCase{"PaletteMask", "8-bit BMP; only 24-bit uncompressed"},
        FaultCase{"EmptyMaskPath", "'-f' needs a value"}, FaultCase{"BadKey", "six hexadecimal digits"},
        FaultCase{"MissingModule", "none.dll: cannot open shared object file"},
        FaultCase{"NotAModule", "fake.dll"}, FaultCase{"PartialModule", "has no 'wm_hook_create'"},
        FaultCase{"MissingFolder", "No such file or directory"}, FaultCase{"FileAsFolder", "Not a directory"},
        FaultCase{"UnknownExtension", "unknown file type"}, FaultCase{"FullDisk", "File too large"},
        FaultCase{"LateSoundTs", "stream #0.1 began after the start", true},
        FaultCase{"LateSoundPs", "stream #0.1 began after the start", true},
        FaultCase{"GlimpsedSoundTs", "Note: left out of the result, no channel count", true},
        FaultCase{"GlimpsedSoundPs", "Note: left out of the result, no channel count", true}),
    [](const testing::TestParamInfo<FaultCase>& i) { return std::string(i.param.name); });

TEST(Options, BadLinesFailWithALine) {
    const std::string source = make(kMpeg4Avi);
    const std::pair<Args, const char*> cases[] = {
        {{"-i", source, "-qscale", "2", "/tmp/x.avi"}, "Unrecognized option 'qscale'"},
        {{"-i", source, "-vhook"}, "Missing argument for option 'vhook'"},
        {{"-sameq", "-y", "/tmp/x.avi"}, "No input file given"},
    };
    for (const auto& [args, expected] : cases) {
        const auto r = runEncoder(args);
        EXPECT_TRUE(r.exited && r.status != 0) << r.output;
        EXPECT_NE(r.output.find(expected), std::string::npos) << r.output;
    }
}

// ---------------------------------------------------------------------------------------------
// Nothing of the user's is overwritten without -y, and the source never.

TEST(Overwrite, SourceNeverAndResultOnlyWithY) {
    const std::string dir = enc_test::scratchFolder("overwrite");
    const std::string source = dir + "/clip.avi";
    std::filesystem::copy_file(make(kMpeg4Avi), source);
    const auto size = std::filesystem::file_size(source);
    std::filesystem::create_hard_link(source, dir + "/hardlink.avi");
    std::filesystem::create_symlink(source, dir + "/symlink.avi");
    for (const std::string& target :
         {source, dir + "/./clip.avi", dir + "/hardlink.avi", dir + "/symlink.avi"}) {
        const auto r = runEncoder({"-i", source, "-sameq", "-y", target});
        EXPECT_TRUE(r.exited && r.status != 0) << target << r.output;
        EXPECT_NE(r.output.find("the source is never overwritten"), std::string::npos) << r.output;
    }
    EXPECT_EQ(std::filesystem::file_size(source), size);

    const std::string earlier = dir + "/earlier.avi";
    std::ofstream(earlier) << "an earlier result";
    auto r = runEncoder({"-i", source, "-sameq", earlier});
    EXPECT_TRUE(r.exited && r.status != 0);
    EXPECT_NE(r.output.find("already exists; give -y"), std::string::npos) << r.output;
    EXPECT_EQ(std::filesystem::file_size(earlier), 17u);
    r = runEncoder({"-i", source, "-sameq", "-y", earlier});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(enc_test::countFrames(earlier), enc_test::countFrames(source));
}

TEST(Overwrite, TwoRunsToOneNewNameWithoutY) {
    // Both runs pass the early check; the first to finish takes the name, the other must not
    // replace it at the end. The first run reads a FIFO held still until the second is done.
    const std::string dir = enc_test::scratchFolder("race");
    const std::string fifo = dir + "/feed.ts", result = dir + "/race.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string slowSource = make(kTs), fastSource = make(kMpeg4Avi);
    enc_test::FifoFeeder feeder(fifo, slowSource, std::filesystem::file_size(slowSource) / 2);
    enc_test::Child slow({"-i", fifo, "-sameq", result});
    ASSERT_NE(slow.readUntil("Output #0", 20'000).find("Output #0"), std::string::npos);

    const auto fast = runEncoder({"-i", fastSource, "-sameq", result});
    ASSERT_EQ(fast.status, 0) << fast.output;
    const std::string winner = readAll(result);
    feeder.release();
    enc_test::RunResult r;
    ASSERT_TRUE(slow.wait(30'000, r));
    EXPECT_TRUE(r.exited && r.status == 1) << r.output;
    EXPECT_NE(r.output.find("already exists; give -y"), std::string::npos) << r.output;
    EXPECT_EQ(readAll(result), winner);
    EXPECT_EQ(probeValue(result, "v:0", "stream=width"), "321");
    EXPECT_TRUE(partFiles(dir).empty());
}

// ---------------------------------------------------------------------------------------------
// Signals and a console reader that goes away.

// A stopped run keeps its part under a name that says so; the result's name stays free.
TEST(Signals, TermKeepsAPlayablePartUnderItsOwnName) {
    const std::string source = longSource();
    const std::string dir = enc_test::scratchFolder("sigterm");
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 1280, 720, kLogoX, kLogoY));
    const std::string result = dir + "/wm-long.mp4", part = dir + "/wm-long-stopped.mp4";
    enc_test::Child child({"-i", source, "-sameq", "-vhook",
                           enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000", "-y", result});
    const std::string seen = child.readUntil("time=", 30'000);
    ASSERT_NE(seen.find("time="), std::string::npos) << seen;
    ASSERT_EQ(kill(child.pid(), SIGTERM), 0);
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(10'000, r)) << "did not stop";
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.output;
    // The closing line is the last one and names the part whole.
    const std::string closing = "Stopped by signal " + std::to_string(SIGTERM) +
                                "; the part converted so far is kept as '" + part +
                                "', the result's name is left untouched.\n";
    ASSERT_GE(r.output.size(), closing.size()) << r.output;
    EXPECT_EQ(r.output.substr(r.output.size() - closing.size()), closing) << r.output;
    EXPECT_FALSE(std::filesystem::exists(result));
    const std::string duration = probeValue(part, "", "format=duration");
    ASSERT_FALSE(duration.empty()) << "part unreadable";
    EXPECT_GT(std::stod(duration), 0.0);
    EXPECT_LT(std::stod(duration), 19.0);
    EXPECT_GT(enc_test::countFrames(part), 0);
    EXPECT_TRUE(partFiles(dir).empty());
}

// The program that started the encoder dies outright (SIGKILL): the encoder notices, stops as on
// SIGTERM and keeps its part. A shell stands for the program; the test kills only that shell.
TEST(Signals, TheParentsDeathStopsItKeepingThePart) {
    const std::string source = longSource();
    const std::string dir = enc_test::scratchFolder("parent-death");
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 1280, 720, kLogoX, kLogoY));
    const std::string part = dir + "/wm-long-stopped.mp4";
    const pid_t shell = fork();
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        const std::string hook = enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 000000";
        execl(
            "/bin/sh", "sh", "-c",
            "MXCODE_STOP_WITH_PARENT=$$ \"$0\" -i \"$1\" -sameq -vhook \"$2\" -y \"$3\" >\"$4\" 2>&1 & wait",
            enc_test::encoderPath().c_str(), source.c_str(), hook.c_str(), (dir + "/wm-long.mp4").c_str(),
            (dir + "/console.txt").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // The encoder under way: its progress in the console file.
    pid_t encoder = 0;
    for (int i = 0; i < 300 && !encoder; ++i) {
        usleep(100'000);
        if (readAll(dir + "/console.txt").find("time=") == std::string::npos) continue;
        std::ifstream children("/proc/" + std::to_string(shell) + "/task/" + std::to_string(shell) +
                               "/children");
        children >> encoder;
    }
    ASSERT_GT(encoder, 0) << readAll(dir + "/console.txt");
    ASSERT_EQ(kill(shell, SIGKILL), 0);
    ASSERT_EQ(waitpid(shell, nullptr, 0), shell);
    // Gone (or a zombie of whoever adopted it) within 3 s.
    const auto running = [encoder] {
        std::ifstream status("/proc/" + std::to_string(encoder) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("State:", 0) == 0) return line.find('Z') == std::string::npos;
        return false;
    };
    for (int i = 0; i < 30 && running(); ++i)
        usleep(100'000);
    EXPECT_FALSE(running()) << "the encoder outlived its parent";
    for (int i = 0; i < 50 && readAll(dir + "/console.txt").find("Stopped by signal") == std::string::npos;
         ++i)
        usleep(100'000);
    EXPECT_NE(readAll(dir + "/console.txt").find("kept as '" + part + "'"), std::string::npos)
        << readAll(dir + "/console.txt");
    const std::string duration = probeValue(part, "", "format=duration");
    ASSERT_FALSE(duration.empty()) << "the part is unreadable";
    EXPECT_GT(std::stod(duration), 0.0);
}

TEST(Signals, StopNeverReplacesAFile) {
    // Taken: the complete result, the first part's name by the source itself (a video really
    // called so), the second by an earlier part. Even with -y the part takes the next free name.
    const std::string dir = enc_test::scratchFolder("stop-keeps");
    const std::string result = dir + "/clip.mp4", source = dir + "/clip-stopped.mp4";
    const std::string earlier = dir + "/clip-stopped (2).mp4";
    std::filesystem::copy_file(longSource(), source);
    ASSERT_EQ(runEncoder({"-i", make(kH264Mp4), "-sameq", result}).status, 0);
    std::ofstream(earlier) << "an earlier stopped part";
    const std::string resultBytes = readAll(result), sourceBytes = readAll(source);

    enc_test::Child child({"-i", source, "-sameq", "-y", result});
    ASSERT_NE(child.readUntil("time=", 30'000).find("time="), std::string::npos);
    ASSERT_EQ(kill(child.pid(), SIGTERM), 0);
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(10'000, r)) << "did not stop";
    EXPECT_TRUE(r.exited && r.status == 128 + SIGTERM) << r.output;
    EXPECT_NE(r.output.find("kept as '" + dir + "/clip-stopped (3).mp4'"), std::string::npos) << r.output;
    EXPECT_EQ(readAll(result), resultBytes);
    EXPECT_EQ(readAll(source), sourceBytes);
    EXPECT_EQ(readAll(earlier), "an earlier stopped part");
    const std::string duration = probeValue(dir + "/clip-stopped (3).mp4", "", "format=duration");
    ASSERT_FALSE(duration.empty()) << "the stopped part is unreadable";
    EXPECT_GT(std::stod(duration), 0.0);
    EXPECT_TRUE(partFiles(dir).empty());
}

TEST(PartFiles, AbandonedOnesGoLiveOnesStay) {
    const std::string dir = enc_test::scratchFolder("parts");
    const std::string source = longSource();
    // A run killed outright leaves its part file behind.
    {
        enc_test::Child killed({"-i", source, "-sameq", "-y", dir + "/killed.mp4"});
        ASSERT_NE(killed.readUntil("time=", 30'000).find("time="), std::string::npos);
        ASSERT_EQ(kill(killed.pid(), SIGKILL), 0);
        enc_test::RunResult r;
        ASSERT_TRUE(killed.wait(10'000, r));
    }
    ASSERT_EQ(partFiles(dir).size(), 1u);
    const std::string abandoned = partFiles(dir)[0];
    // Files that merely look like ours: the user's, whatever their names say.
    const std::vector<std::string> users = {".holiday.part-2023-07", ".backup.tar.part-1-3", "notes.part-1-2",
                                            ".notes.partial", ".old.mp4.wmpart-999999-0"};
    for (const std::string& name : users)
        std::ofstream(dir + "/" + name) << "the user's own file";
    // Where the file system keeps attributes, a file of our very name without ours is kept too;
    // where it keeps none, only the owner and the single link can tell.
    const bool attributes = ::setxattr((dir + "/.notes.partial").c_str(), "user.probe", "1", 1, 0) == 0;
    std::filesystem::create_hard_link(dir + "/" + abandoned, dir + "/the-users-link.mp4");
    std::filesystem::create_symlink(dir + "/" + abandoned, dir + "/.linked.mp4.wmpart-7-0");
    enc_test::Child live({"-i", source, "-sameq", "-y", dir + "/live.mp4"});
    ASSERT_NE(live.readUntil("time=", 30'000).find("time="), std::string::npos);
    const auto r = runEncoder({"-i", make(kMpeg4Avi), "-sameq", dir + "/next.avi"});
    ASSERT_EQ(r.status, 0) << r.output;

    // A second run too: nothing of the user's goes at any run.
    ASSERT_EQ(runEncoder({"-i", make(kMpeg4Avi), "-sameq", "-y", dir + "/next.avi"}).status, 0);
    for (const std::string& name : users) {
        if (name == ".old.mp4.wmpart-999999-0" && !attributes) continue;
        EXPECT_TRUE(std::filesystem::exists(dir + "/" + name)) << name;
    }
    // Linked twice, the abandoned part is the user's as much as ours: it stays.
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + abandoned));
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/.linked.mp4.wmpart-7-0"));
    std::filesystem::remove(dir + "/the-users-link.mp4");
    ASSERT_EQ(runEncoder({"-i", make(kMpeg4Avi), "-sameq", "-y", dir + "/next.avi"}).status, 0);
    const auto left = partFiles(dir);
    EXPECT_EQ(std::count(left.begin(), left.end(), abandoned), 0);
    ASSERT_EQ(std::count_if(left.begin(), left.end(),
                            [](const std::string& n) { return n.rfind(".live.mp4", 0) == 0; }),
              1);

    ASSERT_EQ(kill(live.pid(), SIGTERM), 0);
    enc_test::RunResult lr;
    ASSERT_TRUE(live.wait(10'000, lr));
    EXPECT_EQ(lr.status, 128 + SIGTERM) << lr.output;
    EXPECT_GT(enc_test::countFrames(dir + "/live-stopped.mp4"), 0);
}

struct StallCase {
    const char* name;
    double share;        // of the source fed before the FIFO goes still
    const char* marker;  // console text to wait for before the signal; "" for none
    const char* said;
};
void PrintTo(const StallCase& c, std::ostream* os) {
    *os << c.name;
}

class StalledInput : public testing::TestWithParam<StallCase> {};

TEST_P(StalledInput, TermEndsTheWaitAtOnce) {
    const StallCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("stall-") + c.name);
    const std::string fifo = dir + "/feed.ts", result = dir + "/out.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string source = make(kTs);
    std::unique_ptr<enc_test::FifoFeeder> feeder;
    if (c.share > 0)
        feeder = std::make_unique<enc_test::FifoFeeder>(
            fifo, source, size_t(double(std::filesystem::file_size(source)) * c.share));
    enc_test::Child child({"-i", fifo, "-sameq", "-y", result});
    if (*c.marker) {
        ASSERT_NE(child.readUntil(c.marker, 20'000).find(c.marker), std::string::npos);
    }
    usleep(500'000);  // well inside the wait

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(child.pid(), SIGTERM), 0);
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(10'000, r)) << "ignored the signal";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    EXPECT_LT(seconds, 3.0);
    EXPECT_TRUE(r.exited && r.status == 128 + SIGTERM) << r.output;
    EXPECT_NE(r.output.find(c.said), std::string::npos) << r.output;
    EXPECT_TRUE(partFiles(dir).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fifo, StalledInput,
    testing::Values(StallCase{"NobodyWrites", 0, "", "while the input was being opened"},
                    StallCase{"StallWhileProbing", 0.01, "", "while the input was being opened"},
                    StallCase{"StallBeforeTheFirstFrame", 0.25, "", "; nothing was written"},
                    StallCase{"StallWhileConverting", 0.6, "Output #0",
                              "the part converted so far is kept as '"}),
    [](const testing::TestParamInfo<StallCase>& i) { return std::string(i.param.name); });

TEST(Console, LibraryLinesOnlyWithDebug) {
    // Sound cut in the middle of a frame: the AC-3 decoder complains at the end of the file.
    const std::string dir = enc_test::scratchFolder("library-log");
    const std::string whole =
        fixture("ac3.ts", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3", "-f", "lavfi",
                           "-i", "sine=sample_rate=48000:duration=3", "-c:v", "mpeg2video", "-c:a", "ac3"});
    const std::string source = dir + "/cut.ts";
    std::filesystem::copy_file(whole, source);
    std::filesystem::resize_file(source, 150'000);

    for (const char* debug : {"", "1"}) {
        if (*debug)
            setenv("MXCODE_DEBUG", debug, 1);
        else
            unsetenv("MXCODE_DEBUG");
        const auto r = runEncoder({"-i", source, "-ar", "22050", "-y", dir + "/out.mkv"});
        unsetenv("MXCODE_DEBUG");
        ASSERT_EQ(r.status, 0) << r.output;
        const bool shown = r.output.find("[ac3 @ ") != std::string::npos;
        EXPECT_EQ(shown, *debug != 0) << r.output;
        // Shown or not, a library line never cuts into one of ours (progress lines end in "\r").
        std::string text = r.output;
        std::replace(text.begin(), text.end(), '\r', '\n');
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find(" @ 0x");
            if (at != std::string::npos) {
                EXPECT_EQ(line[0], '[') << line;
            }
        }
    }
}

TEST(Signals, BrokenConsoleDoesNotStopTheConversion) {
    const std::string source = make(kMpeg4Avi);
    const std::string dir = enc_test::scratchFolder("epipe");
    const std::string result = dir + "/wm-out.avi";
    enc_test::Child child({"-i", source, "-sameq", "-y", result});
    child.readUntil("Output #0", 10'000);
    child.closeConsole();
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(60'000, r));
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(enc_test::countFrames(result), enc_test::countFrames(source));
}

}  // namespace
