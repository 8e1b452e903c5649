#include "encoder/stream_metadata.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/mem.h>
}

namespace wm {
namespace {

bool named(const char* key, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [key](const char* n) { return av_strcasecmp(key, n) == 0; });
}

// "BPS-eng" is "BPS" for the language English.
std::string withoutLanguage(const char* key) {
    std::string k = key;
    const auto dash = k.rfind('-');
    if (dash != std::string::npos && k.size() - dash == 4) k.resize(dash);
    return k;
}

// Statistics a Matroska writer keeps per stream; they describe the coding, not the content.
bool describesCoding(const char* key) {
    const std::string k = withoutLanguage(key);
    return named(k.c_str(), {"BPS", "DURATION", "NUMBER_OF_FRAMES", "NUMBER_OF_BYTES", "encoder",
                             "_STATISTICS_WRITING_APP", "_STATISTICS_WRITING_DATE_UTC", "_STATISTICS_TAGS"});
}

// Tags every muxer writes for itself, whatever the source said.
bool writtenByMuxer(const char* key, bool stream) {
    if (describesCoding(key)) return true;
    if (stream) return named(key, {"vendor_id", "duration"});
    return named(key, {"major_brand", "minor_version", "compatible_brands", "duration"});
}

void compareTags(const AVDictionary* source, const AVDictionary* result, bool stream,
                 const std::string& prefix, std::vector<std::string>& lost) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(source, "", e, AV_DICT_IGNORE_SUFFIX))) {
        if (writtenByMuxer(e->key, stream)) continue;
        const AVDictionaryEntry* kept = av_dict_get(result, e->key, nullptr, 0);
        if (!kept || std::strcmp(kept->value, e->value) != 0) lost.push_back(prefix + "tag '" + e->key + "'");
    }
}

// The result's stream written as output stream `index`: the same kind, at the same rank.
const AVStream* readBack(const AVFormatContext* written, const AVFormatContext* result, int index) {
    const AVMediaType kind = written->streams[index]->codecpar->codec_type;
    int rank = 0;
    for (int i = 0; i < index; ++i)
        rank += written->streams[i]->codecpar->codec_type == kind;
    for (unsigned i = 0; i < result->nb_streams; ++i)
        if (result->streams[i]->codecpar->codec_type == kind && rank-- == 0) return result->streams[i];
    return nullptr;
}

std::string dispositionName(int flag) {
    const char* n = av_disposition_to_string(flag);
    return n ? n : std::to_string(flag);
}

}  // namespace

Error keepContainerMetadata(const AVFormatContext* source, AVFormatContext* result) {
    if (int r = av_dict_copy(&result->metadata, source->metadata, 0); r < 0)
        return avError(r, "keep the source's tags");
    if (source->nb_chapters == 0) return noError();
    // The result's context owns and frees its chapters, so they are made with the library's allocator.
    auto** list = static_cast<AVChapter**>(av_calloc(source->nb_chapters, sizeof(AVChapter*)));
    if (!list) return avError(AVERROR(ENOMEM), "keep the source's chapters");
    result->chapters = list;
    for (unsigned i = 0; i < source->nb_chapters; ++i) {
        const AVChapter* in = source->chapters[i];
        auto* out = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!out) return avError(AVERROR(ENOMEM), "keep the source's chapters");
        result->chapters[result->nb_chapters++] = out;
        out->id = in->id;
        out->time_base = in->time_base;
        // The result starts at 0 where the source started elsewhere.
        const int64_t start = source->start_time != AV_NOPTS_VALUE
                                  ? av_rescale_q(source->start_time, AV_TIME_BASE_Q, in->time_base)
                                  : 0;
        out->start = std::max<int64_t>(0, in->start - start);
        out->end = std::max(out->start, in->end - start);
        if (int r = av_dict_copy(&out->metadata, in->metadata, 0); r < 0)
            return avError(r, "keep the source's chapters");
    }
    return noError();
}

void keepStreamMetadata(const AVStream* source, AVStream* result, bool reencoded) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(source->metadata, "", e, AV_DICT_IGNORE_SUFFIX)))
        if (!reencoded || !describesCoding(e->key)) av_dict_set(&result->metadata, e->key, e->value, 0);
    result->disposition = source->disposition;
}

bool takesAttachments(const AVOutputFormat* format) {
    return std::strcmp(format->name, "matroska") == 0;
}

Error addAttachment(const AVStream* source, AVFormatContext* result, int& index) {
    const std::string what = "keep attachment #" + std::to_string(source->index);
    AVStream* st = avformat_new_stream(result, nullptr);
    if (!st) return avError(AVERROR(ENOMEM), what);
    if (int r = avcodec_parameters_copy(st->codecpar, source->codecpar); r < 0) return avError(r, what);
    st->codecpar->codec_tag = 0;
    keepStreamMetadata(source, st, false);
    index = st->index;
    return noError();
}

std::vector<std::string> lostMetadata(const AVFormatContext* source, const AVFormatContext* written,
                                      const AVFormatContext* result, const std::vector<StreamPair>& pairs) {
    std::vector<std::string> lost;
    compareTags(source->metadata, result->metadata, false, "", lost);
    bool chaptersKept = result->nb_chapters >= source->nb_chapters;
    for (unsigned i = 0; chaptersKept && i < source->nb_chapters; ++i) {
        const AVDictionaryEntry* title = av_dict_get(source->chapters[i]->metadata, "title", nullptr, 0);
        const AVDictionaryEntry* kept = av_dict_get(result->chapters[i]->metadata, "title", nullptr, 0);
        chaptersKept = !title || (kept && std::strcmp(title->value, kept->value) == 0);
    }
    if (!chaptersKept) lost.push_back(result->nb_chapters == 0 ? "chapters" : "chapter titles");
    for (const StreamPair& p : pairs) {
        const AVStream* in = source->streams[p.source];
        const AVStream* out = readBack(written, result, p.result);
        const std::string prefix = "stream #0." + std::to_string(p.source) + " ";
        if (!out) continue;  // the check names a missing stream
        compareTags(in->metadata, out->metadata, true, prefix, lost);
        const int missing = in->disposition & ~out->disposition;
        for (int bit = 0; bit < 31; ++bit)
            if (missing & (1 << bit))
                lost.push_back(prefix + "disposition '" + dispositionName(1 << bit) + "'");
    }
    return lost;
}

std::string lostMetadataNote(const std::string& container, const std::vector<std::string>& lost) {
    if (lost.empty()) return {};
    std::string text = "Note: the " + container + " container cannot hold what the source had here: ";
    for (size_t i = 0; i < lost.size(); ++i)
        text += (i ? ", " : "") + lost[i];
    return noteLine(text);
}

std::string noteLine(const std::string& text) {
    std::string safe;
    for (size_t i = 0; i < text.size(); ++i) {
        safe += text[i];
        if (i + 3 < text.size() && av_strncasecmp(text.c_str() + i, "time", 4) == 0) safe += "\u200b";
    }
    return safe + "\n";
}

}  // namespace wm
