// The parse of the encoder's description on any chunk: what it cuts comes from the chunk, the
// duration is read the same on its own and within the facts, size texts read as their leading
// ASCII digits do, and a display turn needs the size and its line.
#include "jobs/probe_parse.h"
#include "tests/fuzz/fuzz_check.h"

#include <limits>

namespace {

// Leading spaces, then the run of ASCII digits: its value when it fits an int.
std::optional<int> referenceSizeValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    const qsizetype first = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    if (i == first) return std::nullopt;
    QString digits = text.mid(first, i - first);
    while (digits.size() > 1 && digits.front() == u'0')
        digits.remove(0, 1);
    if (digits.size() > 10) return std::nullopt;
    const qint64 v = digits.toLongLong();
    if (v > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(v);
}

void checkSizeText(const QString& text) {
    FUZZ_CHECK(sizeValue(text) == referenceSizeValue(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString chunk = latin1Text(data, size);
    const ProbeFacts facts = parseProbeChunk(chunk);

    FUZZ_CHECK(facts.duration == durationOf(chunk));
    if (facts.duration)
        FUZZ_CHECK(facts.duration->size() <= 11 && chunk.contains(*facts.duration));
    else
        FUZZ_CHECK(!facts.width && !facts.height);

    FUZZ_CHECK(facts.width.has_value() == facts.height.has_value());
    if (facts.width) {
        FUZZ_CHECK(facts.width->size() + 1 + facts.height->size() <= 9);
        FUZZ_CHECK(chunk.contains(*facts.width + u'x' + *facts.height, Qt::CaseInsensitive));
        checkSizeText(*facts.width);
        checkSizeText(*facts.height);
        const std::optional<QSize> frame = frameSizeOf(*facts.width, *facts.height);
        const std::optional<int> w = sizeValue(*facts.width);
        const std::optional<int> h = sizeValue(*facts.height);
        FUZZ_CHECK(frame.has_value() == (w && h && *w > 0 && *h > 0));
        if (frame) FUZZ_CHECK(frame->width() == *w && frame->height() == *h);
    }

    // A turn comes only with a frame size, from a "Display:" line, and is never the identity.
    if (facts.orientation) {
        FUZZ_CHECK(facts.width && chunk.contains(QStringLiteral("Display: "), Qt::CaseInsensitive));
        FUZZ_CHECK(!facts.orientation->upright());
        FUZZ_CHECK(facts.orientation->quarterTurns >= 0 && facts.orientation->quarterTurns <= 3);
    }

    // Size texts on their own, also with digits from other scripts, which do not count.
    checkSizeText(chunk);
    checkSizeText(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
