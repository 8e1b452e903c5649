#include "jobs/job.h"

#include "mark/color_text.h"
#include "mark/picture_loader.h"
#include "mark/regular_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <utility>

namespace {

constexpr std::array<std::pair<Anchor, const char*>, 9> kAnchorKeys{{
    {Anchor::TopLeft, "top-left"},
    {Anchor::Top, "top"},
    {Anchor::TopRight, "top-right"},
    {Anchor::Left, "left"},
    {Anchor::Centre, "centre"},
    {Anchor::Right, "right"},
    {Anchor::BottomLeft, "bottom-left"},
    {Anchor::Bottom, "bottom"},
    {Anchor::BottomRight, "bottom-right"},
}};

constexpr std::array<std::pair<TextMark::Edge, const char*>, 3> kEdgeKeys{{
    {TextMark::Edge::None, "none"},
    {TextMark::Edge::Outline, "outline"},
    {TextMark::Edge::Shadow, "shadow"},
}};

// What makes a time range unusable, in the job's words.
QString rangeProblemText(rules::RangeProblem problem) {
    switch (problem) {
        case rules::RangeProblem::None:
        case rules::RangeProblem::PastTheEnd:  // a job knows no video's end
            return {};
        case rules::RangeProblem::NotATime:
            return QStringLiteral("times must be seconds from 0 on");
        case rules::RangeProblem::UntilNotAfterFrom:
            return QStringLiteral("\"until\" must come after \"from\"");
        case rules::RangeProblem::FadeOutOfBounds:
            return QStringLiteral("\"fade\" must be from 0 to %1").arg(rules::kMaxFade);
        case rules::RangeProblem::FadesTooLong:
            return QStringLiteral("the fades are longer than the range");
    }
    return {};
}

QString colourText(const QColor& c) {
    return QStringLiteral("%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

// Reads one field strictly; the first fault names the field.
class Fields {
public:
    Fields(const QJsonObject& object, QString prefix) : object_(object), prefix_(std::move(prefix)) {}

    bool failed() const { return !why_.isEmpty(); }
    const QString& why() const { return why_; }

    QJsonObject object(const char* key) {
        const QJsonValue v = value(key);
        if (failed()) return {};
        if (!v.isObject()) return fail(key, "must be an object"), QJsonObject();
        return v.toObject();
    }
    QString string(const char* key) {
        const QJsonValue v = value(key);
        if (failed()) return {};
        if (!v.isString()) return fail(key, "must be a string"), QString();
        return v.toString();
    }
    double number(const char* key, double least, double most) {
        const QJsonValue v = value(key);
        if (failed()) return 0;
        if (!v.isDouble() || !std::isfinite(v.toDouble())) return fail(key, "must be a number"), 0.0;
        const double d = v.toDouble();
        if (d < least || d > most)
            return fail(key, QStringLiteral("must be from %1 to %2").arg(least).arg(most)), 0.0;
        return d;
    }
    bool boolean(const char* key) {
        const QJsonValue v = value(key);
        if (failed()) return false;
        if (!v.isBool()) return fail(key, "must be true or false"), false;
        return v.toBool();
    }
    bool has(const char* key) const { return object_.contains(QLatin1String(key)); }
    bool isNull(const char* key) const { return object_.value(QLatin1String(key)).isNull(); }
    QString name(const char* key) const { return prefix_ + QLatin1String(key); }
    void fail(const char* key, const QString& what) {
        if (!failed()) why_ = QStringLiteral("\"%1\" %2").arg(name(key), what);
    }
    void fail(const char* key, const char* what) { fail(key, QString::fromLatin1(what)); }

private:
    QJsonValue value(const char* key) {
        if (failed()) return {};
        if (!object_.contains(QLatin1String(key))) {
            fail(key, "is missing");
            return {};
        }
        return object_.value(QLatin1String(key));
    }

    QJsonObject object_;
    QString prefix_;
    QString why_;
};

}  // namespace

QString anchorKey(Anchor anchor) {
    for (const auto& [a, key] : kAnchorKeys)
        if (a == anchor) return QLatin1String(key);
    return {};
}

std::optional<Anchor> anchorOfKey(const QString& key) {
    const QString k = key.trimmed().toLower();
    if (k == QStringLiteral("center")) return Anchor::Centre;
    for (const auto& [a, name] : kAnchorKeys)
        if (k == QLatin1String(name)) return a;
    return std::nullopt;
}

QString edgeKey(TextMark::Edge edge) {
    for (const auto& [e, key] : kEdgeKeys)
        if (e == edge) return QLatin1String(key);
    return {};
}

std::optional<TextMark::Edge> edgeOfKey(const QString& key) {
    for (const auto& [e, name] : kEdgeKeys)
        if (key == QLatin1String(name)) return e;
    return std::nullopt;
}

QStringList filesOf(const Job& job) {
    return job.text ? QStringList() : QStringList{job.picturePath};
}

QByteArray jobToJson(const Job& job) {
    QJsonObject placement{{"anchor", anchorKey(job.anchor)},
                          {"margin_x_percent", job.marginXPercent},
                          {"margin_y_percent", job.marginYPercent}};
    QJsonObject output{{"folder", job.outputFolder}, {"prefix", job.prefix}};
    const bool share = job.output == OutputChoice::Mp4ToShare;
    if (share) output.insert(QStringLiteral("kind"), QString::fromLatin1(outputChoiceWord(job.output)));
    QJsonObject root{{"format", "watermark-image job"},
                     {"version", share || job.text || job.range.limited() ? 2 : 1},
                     {"key_colour", job.key ? QJsonValue(colourText(*job.key)) : QJsonValue()},
                     {"opacity_percent", job.opacity},
                     {"enhance_audio", job.enhanceAudio},
                     {"output", output}};
    if (job.text) {
        const TextMark& t = *job.text;
        const QString edge = edgeKey(t.edge);
        root.insert(QStringLiteral("text"), QJsonObject{{"text", t.text},
                                                        {"font", t.family},
                                                        {"pixel_size", t.pixelSize},
                                                        {"colour", colourText(t.colour)},
                                                        {"edge", edge},
                                                        {"size_percent", job.textSizePercent}});
    } else {
        root.insert(
            QStringLiteral("picture"),
            QJsonObject{{"path", job.picturePath}, {"sha256", QString::fromLatin1(job.pictureSha256)}});
        placement.insert(QStringLiteral("width_percent"), job.widthPercent);
    }
    root.insert(QStringLiteral("placement"), placement);
    if (job.range.limited()) {
        const auto bound = [](const std::optional<double>& t) {
            return t ? QJsonValue(*t) : QJsonValue();
        };
        root.insert(QStringLiteral("time_range"), QJsonObject{{"from", bound(job.range.from)},
                                                              {"until", bound(job.range.until)},
                                                              {"fade", job.range.fade}});
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Job> jobFromJson(const QByteArray& text, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    if (!doc.isObject()) return fail(QStringLiteral("not a job: the file holds no JSON object"));

    Fields root(doc.object(), QString());
    if (root.string("format") != QStringLiteral("watermark-image job") && !root.failed())
        root.fail("format", "must be \"watermark-image job\"");
    const double version = root.number("version", 1, 1e9);
    if (root.failed()) return fail(root.why());
    if (version != std::floor(version)) return fail(QStringLiteral("\"version\" must be a whole number"));
    if (version > Job::kVersion)
        return fail(QStringLiteral("\"version\" %1 is newer than this program reads (%2): update the program")
                        .arg(version)
                        .arg(Job::kVersion));

    Job job;
    // A text job has no picture; its mark's width follows its letters.
    const bool isText = root.has("text") && !root.isNull("text");
    if (isText) {
        Fields text(root.object("text"), QStringLiteral("text."));
        if (root.failed()) return fail(root.why());
        TextMark t;
        t.text = text.string("text");
        if (!text.failed() && (t.text.trimmed().isEmpty() || t.text.contains(u'\n')))
            text.fail("text", "must be one line that is not empty");
        t.family = text.string("font");
        const double size = text.number("pixel_size", kMinTextSize, kMaxTextSize);
        if (!text.failed() && size != std::floor(size)) text.fail("pixel_size", "must be a whole number");
        t.pixelSize = static_cast<int>(size);
        const QString colour = text.string("colour");
        if (!text.failed()) {
            if (const std::optional<QColor> c = colorFromRrggbb(colour))
                t.colour = *c;
            else
                text.fail("colour", "must be six hexadecimal digits RRGGBB");
        }
        const std::optional<TextMark::Edge> edge = edgeOfKey(text.string("edge"));
        if (edge) t.edge = *edge;
        if (!text.failed() && !edge) text.fail("edge", "must be none, outline or shadow");
        job.textSizePercent = text.number("size_percent", 0.01, 100);
        if (text.failed()) return fail(text.why());
        job.text = t;
    } else {
        Fields picture(root.object("picture"), QStringLiteral("picture."));
        if (root.failed()) return fail(root.why());
        job.picturePath = picture.string("path");
        job.pictureSha256 = picture.string("sha256").toLatin1();
        if (!picture.failed() && (job.pictureSha256.size() != 64 ||
                                  !std::all_of(job.pictureSha256.cbegin(), job.pictureSha256.cend(),
                                               [](char c) { return std::isxdigit(uchar(c)); })))
            picture.fail("sha256", "must be 64 hexadecimal digits");
        if (picture.failed()) return fail(picture.why());
    }
    Fields placement(root.object("placement"), QStringLiteral("placement."));
    Fields output(root.object("output"), QStringLiteral("output."));
    if (root.failed()) return fail(root.why());

    const QString anchor = placement.string("anchor");
    if (!placement.failed()) {
        // A file says each place one way: the way it is written.
        if (const std::optional<Anchor> a = anchorOfKey(anchor); a && anchorKey(*a) == anchor)
            job.anchor = *a;
        else
            placement.fail("anchor", QStringLiteral("must be top-left, top, top-right, left, centre, right, "
                                                    "bottom-left, bottom or bottom-right, not \"%1\"")
                                         .arg(anchor));
    }
    job.marginXPercent = placement.number("margin_x_percent", -100, 100);
    job.marginYPercent = placement.number("margin_y_percent", -100, 100);
    if (!isText) job.widthPercent = placement.number("width_percent", 0.01, 100);
    if (placement.failed()) return fail(placement.why());

    if (root.has("time_range") && !root.isNull("time_range")) {
        Fields range(root.object("time_range"), QStringLiteral("time_range."));
        if (root.failed()) return fail(root.why());
        for (const auto& [key, bound] :
             {std::pair{"from", &job.range.from}, std::pair{"until", &job.range.until}})
            if (!range.isNull(key))
                *bound = rules::toMilliseconds(range.number(key, 0, rules::kLatestSeconds));
        job.range.fade = rules::toMilliseconds(range.number("fade", 0, rules::kMaxFade));
        if (range.failed()) return fail(range.why());
        if (const QString problem = rangeProblemText(rules::problemOf(job.range)); !problem.isEmpty())
            return fail(QStringLiteral("\"time_range\": ") + problem);
    }

    if (!root.has("key_colour")) root.fail("key_colour", "is missing (null for the program's choice)");
    if (!root.failed() && !root.isNull("key_colour")) {
        const QString key = root.string("key_colour");
        job.key = colorFromRrggbb(key);
        if (!root.failed() && !job.key)
            root.fail("key_colour", "must be six hexadecimal digits RRGGBB or null");
    }
    job.opacity = static_cast<int>(root.number("opacity_percent", 10, 100));
    job.enhanceAudio = root.boolean("enhance_audio");
    if (root.failed()) return fail(root.why());

    job.outputFolder = output.string("folder");
    job.prefix = output.string("prefix");
    if (!output.failed() && job.prefix.contains(u'/')) output.fail("prefix", "must not hold a slash");
    if (!output.failed() && job.prefix.contains(QChar()))
        output.fail("prefix", "must not hold a NUL character");
    // Version 1 knew one kind of result: the source's.
    if (output.has("kind")) {
        const QString kind = output.string("kind");
        if (!output.failed() && kind != QStringLiteral("same") && kind != QStringLiteral("share"))
            output.fail("kind", QStringLiteral("must be \"same\" or \"share\", not \"%1\"").arg(kind));
        job.output = outputChoiceOfWord(kind.toStdString());
    }
    if (output.failed()) return fail(output.why());
    return job;
}

std::optional<Job> readJobFile(const QString& path, QString* why) {
    // A job is a few hundred bytes; anything far larger is not one.
    QString reason;
    const std::optional<QByteArray> text = readRegularFile(path, 1 << 20, &reason);
    if (!text) {
        if (why) *why = QStringLiteral("%1 %2").arg(path, reason);
        return std::nullopt;
    }
    std::optional<Job> job = jobFromJson(*text, &reason);
    if (!job) {
        if (why) *why = QStringLiteral("%1: %2").arg(path, reason);
        return job;
    }
    // A picture beside the job travels with it (to another machine, another folder).
    if (job->text) return job;
    const QDir folder = QFileInfo(path).absoluteDir();
    if (QDir::isRelativePath(job->picturePath))
        job->picturePath = QDir::cleanPath(folder.filePath(job->picturePath));
    const QString beside = folder.filePath(QFileInfo(job->picturePath).fileName());
    if (!QFileInfo::exists(job->picturePath) && QFileInfo::exists(beside)) job->picturePath = beside;
    return job;
}

bool writeJobFile(const QString& path, const Job& job, QString* why) {
    QSaveFile file(path);
    Job saved = job;
    const QDir folder = QFileInfo(path).absoluteDir();
    if (!job.text && QFileInfo(job.picturePath).absoluteDir() == folder)
        saved.picturePath = QFileInfo(job.picturePath).fileName();
    const QByteArray text = jobToJson(saved);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (why) *why = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray fileSha256(const QString& path) {
    UniqueFd fd = openRegularFile(path, kMaxPictureBytes, nullptr);
    QFile file;
    if (!fd.valid() || !file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return {};
    fd.release();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return {};
    return hash.result().toHex();
}

std::optional<QImage> loadJobPicture(const Job& job, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (job.text) return drawTextMark(*job.text, textMarkSize(*job.text));
    if (!QFileInfo::exists(job.picturePath))
        return fail(QStringLiteral("\"picture.path\": %1 is gone").arg(job.picturePath));
    if (QString problem; !openRegularFile(job.picturePath, kMaxPictureBytes, &problem).valid())
        return fail(QStringLiteral("\"picture.path\": %1 %2").arg(job.picturePath, problem));
    if (fileSha256(job.picturePath) != job.pictureSha256.toLower())
        return fail(
            QStringLiteral("\"picture.sha256\": %1 changed since the job was saved").arg(job.picturePath));
    QImage picture = picture::load(job.picturePath);
    if (picture.isNull())
        return fail(
            QStringLiteral("\"picture.path\": %1 is not a picture this program reads").arg(job.picturePath));
    return picture;
}

Placement placementOf(const Job& job, const QImage& picture, const QString& video,
                      const QDateTime& recorded) {
    if (!job.text) return placementOf(job, picture, std::nullopt);
    const TextMark filled = filledFor(*job.text, video, recorded);
    return placementOf(job, drawTextMark(filled, textMarkSize(filled)), filled);
}

Placement placementOf(const Job& job, const QImage& drawing, const std::optional<TextMark>& filled) {
    Placement p;
    p.moveTo(job.anchor, 0);
    p.setMargins(job.marginXPercent / 100, job.marginYPercent / 100);
    p.setPicture(drawing);
    if (filled) {
        p.setText(filled);
        // Letters of the same share of every frame, however long this video's name or date is.
        p.setWidthShare(job.textSizePercent / 100 * textMarkSize(*filled).width() /
                        std::max(1, filled->pixelSize));
    } else {
        p.setWidthShare(job.widthPercent / 100);
    }
    p.setPickedKey(job.key);
    p.setOpacity(job.opacity);
    return p;
}

void takePlacement(Job& job, const Placement& placement) {
    if (placement.text()) {
        const int natural = std::max(1, textMarkSize(*placement.text()).width());
        job.textSizePercent = placement.widthShare() * 100 * placement.text()->pixelSize / natural;
    } else {
        job.widthPercent = placement.widthShare() * 100;
    }
    job.anchor = placement.anchor();
    job.marginXPercent = placement.marginX() * 100;
    job.marginYPercent = placement.marginY() * 100;
    job.key = placement.pickedKey();
    job.opacity = placement.opacity();
}

Job jobOf(const Placement& placement, const QString& picturePath, const std::optional<TextMark>& text) {
    Job job;
    if (placement.text()) {
        job.text = text ? *text : *placement.text();
    } else {
        job.picturePath = QFileInfo(picturePath).absoluteFilePath();
        job.pictureSha256 = fileSha256(picturePath);
    }
    takePlacement(job, placement);
    return job;
}
