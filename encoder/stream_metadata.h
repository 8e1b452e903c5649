// What a result keeps of its source besides the pictures and sound: the container's tags (title,
// artist, dates, location, ...), its chapters, Matroska's attachments (fonts), and each stream's
// tags and disposition. What the result's container cannot hold is found by reading the written
// file back and named in one note line.
#pragma once

#include <string>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"

namespace wm {

// The source's container tags and chapters, into a result whose header is not written yet.
Error keepContainerMetadata(const AVFormatContext* source, AVFormatContext* result);

// The tags and disposition of a source stream on the result's stream. A re-encoded stream leaves
// out the tags that describe the old coding (its encoder, bit rate, frame and byte counts).
void keepStreamMetadata(const AVStream* source, AVStream* result, bool reencoded);

// Whether the container carries attachments (Matroska's fonts and covers).
bool takesAttachments(const AVOutputFormat* format);
// Adds an attachment stream (its data and file name) to the result.
Error addAttachment(const AVStream* source, AVFormatContext* result, int& index);

// A source stream and the result's stream written from it.
struct StreamPair {
    int source = -1;
    int result = -1;
};

// What the written file lost against the source: "chapters", "tag 'x'", "stream #0.N tag 'x'",
// "stream #0.N disposition 'forced'". Result streams are matched to the written ones by kind and
// order, as some containers (MPEG) read them back in another order. Tags a muxer writes for
// itself (encoder, brands, durations, statistics) are not compared.
std::vector<std::string> lostMetadata(const AVFormatContext* source, const AVFormatContext* written,
                                      const AVFormatContext* result, const std::vector<StreamPair>& pairs);

// "Note: the <container> container cannot hold what the source had here: a, b, c" or "" when
// nothing was lost.
std::string lostMetadataNote(const std::string& container, const std::vector<std::string>& lost);

// A note line, written after the progress has begun. The windows read the first "time" of a chunk
// as the progress, so a name that holds the word gets a zero-width space inside it.
std::string noteLine(const std::string& text);

}  // namespace wm
