#include "positioning/time_range_box.h"

#include "mark/time_range.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

TimeRangeBox::TimeRangeBox(QWidget* parent) : QWidget(parent) {
    from_ = field("timeFrom", QStringLiteral("start"), QStringLiteral("From"));
    from_->setAccessibleDescription(
        QStringLiteral("When the watermark appears: seconds or h:mm:ss; empty for the start"));
    until_ = field("timeUntil", QStringLiteral("end"), QStringLiteral("Until"));
    until_->setAccessibleDescription(
        QStringLiteral("When the watermark is gone: seconds or h:mm:ss; empty for the end"));
    fade_ = field("timeFade", QStringLiteral("0 s"), QStringLiteral("Fade"));
    fade_->setAccessibleDescription(
        QStringLiteral("Seconds the watermark takes to fade in and to fade out, 0 to 10"));

    // One row: the canvas keeps the room beside it.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto add = [this, row](const QString& caption, QLineEdit* edit) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit);
        row->addSpacing(8);
    };
    add(QStringLiteral("&From:"), from_);
    add(QStringLiteral("&Until:"), until_);
    add(QStringLiteral("F&ade:"), fade_);
    row->addStretch(1);
}

QLineEdit* TimeRangeBox::field(const char* name, const QString& placeholder, const QString& accessible) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    edit->setAccessibleName(accessible);
    edit->setMaxLength(16);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 12);
    connect(edit, &QLineEdit::editingFinished, this, &TimeRangeBox::rangeChanged);
    return edit;
}

void TimeRangeBox::setDuration(std::optional<double> seconds) {
    duration_ = seconds;
}

std::optional<rules::TimeRange> TimeRangeBox::range() const {
    const TimeRangeCheck c = readTimeRange(from_->text(), until_->text(), fade_->text(), duration_);
    return c.problem.isEmpty() ? std::optional<rules::TimeRange>(c.range) : std::nullopt;
}

QString TimeRangeBox::problem() const {
    return readTimeRange(from_->text(), until_->text(), fade_->text(), duration_).problem;
}

QStringList TimeRangeBox::texts() const {
    return {from_->text(), until_->text(), fade_->text()};
}

void TimeRangeBox::setTexts(const QStringList& texts) {
    QLineEdit* fields[] = {from_, until_, fade_};
    for (qsizetype i = 0; i < 3; ++i)
        fields[i]->setText(i < texts.size() ? texts[i] : QString());
}
