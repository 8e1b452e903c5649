// The progress read from any chunk against any duration text: the elapsed time is cut from behind
// "time", the seconds of a plain HH:MM:SS read as such, and the percentage never passes 100 nor
// goes below 0 without a minus sign to cause it.
#include "jobs/probe_parse.h"
#include "jobs/progress_parse.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool asciiDigits(const QString& s, qsizetype at) {
    return s.size() >= at + 2 && s[at] >= u'0' && s[at] <= u'9' && s[at + 1] >= u'0' && s[at + 1] <= u'9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString chunk = latin1Text(data, size);

    const std::optional<QString> elapsed = elapsedTextOf(chunk);
    const qsizetype time = chunk.indexOf(QStringLiteral("time"), 0, Qt::CaseInsensitive);
    FUZZ_CHECK(elapsed.has_value() == (time >= 0));
    if (elapsed && !elapsed->isEmpty()) {
        // Behind "time" and one separator, up to the next space.
        FUZZ_CHECK(chunk.mid(time + 5, elapsed->size()) == *elapsed);
        FUZZ_CHECK(!elapsed->contains(u' ') && chunk.mid(time + 5 + elapsed->size(), 1) == u" ");
    }

    // The duration as the probe would have read it from the same text, else the chunk's start.
    const QString duration = durationOf(chunk).value_or(chunk.left(11));
    const qint32 seconds = durationSeconds(duration);
    if (asciiDigits(duration, 0) && asciiDigits(duration, 3) && asciiDigits(duration, 6))
        FUZZ_CHECK(seconds == 3600 * duration.mid(0, 2).toInt() + 60 * duration.mid(3, 2).toInt() +
                                  duration.mid(6, 2).toInt());

    const QString elapsedText = elapsed.value_or(chunk);
    const int percent = progressPercent(duration, elapsedText);
    FUZZ_CHECK(percent <= 100);
    if (!duration.contains(u'-') && !elapsedText.contains(u'-')) FUZZ_CHECK(percent >= 0);
    return 0;
}
