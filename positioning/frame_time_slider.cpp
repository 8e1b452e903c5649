#include "positioning/frame_time_slider.h"

#include "app/value_label.h"
#include "mark/time_range.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

FrameTimeSlider::FrameTimeSlider(QWidget* parent) : QWidget(parent) {
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("frameTime"));
    slider_->setAccessibleName(QStringLiteral("Frame shown"));
    slider_->setAccessibleDescription(QStringLiteral("The moment of the video the canvas shows"));
    slider_->setTracking(false);
    slider_->setSingleStep(100);
    slider_->setPageStep(1000);
    value_ = new ValueLabel(QStringLiteral("Time of the frame shown"), this);
    value_->setObjectName(QStringLiteral("frameTimeValue"));
    value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00.000")) + 4);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(slider_, 1);
    row->addWidget(value_);
    setDuration(0);

    connect(slider_, &QSlider::sliderMoved, this, &FrameTimeSlider::showTime);
    connect(slider_, &QSlider::valueChanged, this, [this](int ms) {
        showTime(ms);
        emit timeChosen(ms / 1000.0);
    });
}

void FrameTimeSlider::setDuration(double seconds) {
    const QSignalBlocker quiet(slider_);
    // Milliseconds: an int holds 24 days of them.
    const int ms = std::isfinite(seconds) && seconds > 0 ? int(std::min(seconds, 2e6) * 1000) : 0;
    slider_->setRange(0, ms);
    slider_->setEnabled(ms > 0);
    showTime(slider_->value());
}

void FrameTimeSlider::setSeconds(double seconds) {
    const QSignalBlocker quiet(slider_);
    slider_->setValue(int(std::lround(std::clamp(seconds, 0.0, 2e6) * 1000)));
    showTime(slider_->value());
}

double FrameTimeSlider::seconds() const {
    return slider_->value() / 1000.0;
}

void FrameTimeSlider::showTime(int ms) {
    value_->setText(timeText(ms / 1000.0));
}
