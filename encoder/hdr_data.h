// HDR10's static metadata through a re-encode: the mastering display's colour volume and the
// content light levels a source carries, in its stream's side data or its first frame's SEI, go
// into the result's stream and into the encoder's own SEI. What no re-encode can keep (Dolby
// Vision's RPU, HDR10+'s dynamic metadata) is named; the result is then plain HDR10 or HLG.
#pragma once

#include <string>

#include "encoder/av_ptr.h"
#include "encoder/error.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
}

namespace wm {

struct HdrData {
    bool hasMastering = false;
    AVMasteringDisplayMetadata mastering{};
    bool hasLight = false;
    AVContentLightMetadata light{};
    bool dolbyVision = false;  // a configuration record or an RPU
    bool hdr10Plus = false;    // dynamic metadata
};

// Whether the transfer is HDR's (PQ, HLG).
bool isHdrTransfer(AVColorTransferCharacteristic trc);

// What the source's video stream says, and its first frame where the input is a regular file that
// can be read a second time (the conversion reads it once more from its start); the stream's side
// data alone for a pipe.
HdrData readHdrData(const std::string& path, const AVStream* stream);

// The static metadata onto the result's video stream, where it has none of its own.
Error keepHdrData(const HdrData& hdr, AVStream* result);

// x265's words that write the static metadata as SEI ("master-display=…:max-cll=…"); "" for none.
std::string x265HdrParams(const HdrData& hdr);

// The note naming what the result cannot keep; "" when it keeps all. `hdr10`: the result is PQ.
std::string hdrLossNote(const HdrData& hdr, bool hdr10);

}  // namespace wm
