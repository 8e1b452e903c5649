// The conversion: Start, Stop, the progress display and the end of a run
// when the window closes.
#include "app/message.h"
#include "app/picture_box.h"
#include "jobs/encoder_lines.h"
#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "jobs/run_end.h"
#include "positioning/mark_canvas.h"
#include "positioning/positioning_window.h"
#include "positioning/time_range_box.h"
#include "runner/child_process.h"
#include "runner/console_capture.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <utility>

namespace {

// The result's name is taken: what the user wants done about it.
enum class TakenName { Replace, KeepBoth, Cancel };

TakenName askAboutTakenName(QWidget* parent, const QString& result) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Watermark Image"),
                    QStringLiteral("%1 is already in the results folder.\nReplace it, or keep both?")
                        .arg(QFileInfo(result).fileName()),
                    QMessageBox::NoButton, parent);
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = box.addButton(QStringLiteral("Keep both"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(keepBoth);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == replace) return TakenName::Replace;
    if (box.clickedButton() == keepBoth) return TakenName::KeepBoth;
    return TakenName::Cancel;
}

// How long a stopped encoder may take to finish its file before it is ended.
constexpr int kStopGraceMs = 15000;

}  // namespace

void PositioningWindow::startConversion() {
    const Busy busy(*this);
    // A second Start while one runs must not leave the first encoder unwatched.
    if (conversionRunner_ && !conversionRunner_->commandLine().isEmpty()) return;
    // A canvas without the mark (none placed yet) would make a copy with no watermark.
    if (!canvas_->hasPlacedMark()) {
        msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
        return;
    }

    // A wrong time would fail in the encoder, or lay the mark where it was not wanted.
    const std::optional<rules::TimeRange> range = timeRange();
    if (!range) {
        msgBox(this, timeRange_->problem());
        return;
    }

    const Job job = currentJob();
    const VideoFacts facts = videoFacts();
    // Quoted on the command line, so the results folder needs no alias.
    QString result = resultPath(outputFolder(), video_.title, job.output);
    if (!prepareRun(job, facts, result)) return;
    if (nameTaken(result)) {
        switch (askAboutTakenName(this, result)) {
            case TakenName::Replace:
                break;
            case TakenName::KeepBoth:
                result = keepBothPath(result, nameTaken);
                if (result.isEmpty()) {
                    run_ = VideoRun();
                    msgBox(this,
                           QStringLiteral("No free name is left for the result in the results folder."));
                    return;
                }
                if (!prepareRun(job, facts, result)) return;
                break;
            case TakenName::Cancel:
                run_ = VideoRun();
                return;
        }
        if (!isLoaded()) return;
    }

    const std::shared_ptr<ConsoleCapture> runner = conversionRunner_;
    if (!runner) return;
    // A new run starts from nothing, whatever an earlier (stopped) one showed.
    progressLabel_->setText(progressCaption(0));
    paceLabel_->clear();
    showRunEnd(std::nullopt);
    // One conversion at a time: Start waits for this one to end.
    startButton_->setEnabled(false);
    const qint32 code = runner->run(run_.commandLine());
    if (!isLoaded() || closing_) return;
    startButton_->setEnabled(true);
    paceLabel_->clear();
    const RunEnd end = run_.finish(code);
    // A video chosen while this one converted comes now; its window starts without this run's line.
    const auto afterRun = qScopeGuard([this] {
        if (closeAfterRun_) {
            // Closed during the run: the main window says where the part is.
            emit closedDuringRun(endText());
            close();
            return;
        }
        if (nextVideo_) changeVideo(*std::exchange(nextVideo_, std::nullopt), true);
    });
    // A run ended by the window's close or by a Stop that had to end the
    // encoder leaves it running: nothing to read of its end.
    if (code == kStillActive) {
        showRunEnd(
            RunEnd{RunEnd::Kind::Stopped,
                   QStringLiteral("Stopped at %1 %: the encoder was ended before it could keep the part")
                       .arg(run_.shownPercent()),
                   QString()});
        return;
    }
    showRunEnd(end);
    if (end.kind == RunEnd::Kind::Failed) {
        const QString why = lastEncoderLine(run_.text());
        msgBox(this, QStringLiteral("The conversion did not complete.") +
                         (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
    }
}

bool PositioningWindow::prepareRun(const Job& job, const VideoFacts& facts, const QString& result) {
    if (run_.prepare(job, mark_, video_.path, facts, result, nullptr)) return true;
    switch (run_.refusal()) {
        case VideoRun::Refusal::Unchanged:
            // A copy that would come out unchanged is no watermarked copy.
            msgBox(this, QStringLiteral("The watermark would leave the video unchanged: the picture is "
                                        "fully transparent, wholly of the mask colour or placed outside "
                                        "the frame. Choose another picture, colour or place."));
            break;
        case VideoRun::Refusal::NothingInRange:
            msgBox(this, QStringLiteral("The time range starts after this video ends: change From."));
            break;
        case VideoRun::Refusal::NoWorkFolder:
        case VideoRun::Refusal::Unwritable:
            showBitmapRefusal();
            break;
        case VideoRun::Refusal::UnsafePath:
        case VideoRun::Refusal::None:
            msgBox(this, QStringLiteral("The video or the program folder cannot be handed to the encoder: "
                                        "its path cannot be named on its command line."));
            break;
    }
    return false;
}

void PositioningWindow::showBitmapRefusal() {
    if (run_.refusal() == VideoRun::Refusal::NoWorkFolder)
        msgBox(this, QStringLiteral("Could not make a working folder for the conversion: %1")
                         .arg(run_.refusalDetail()));
    else
        msgBox(this, QStringLiteral("Could not write %1: %2\nThe conversion needs this file.")
                         .arg(run_.refusalFile(), run_.refusalDetail()));
}

void PositioningWindow::stopConversion() {
    const Busy busy(*this);
    const std::shared_ptr<ConsoleCapture> runner = conversionRunner_;
    if (!runner || runner->commandLine().isEmpty()) return;
    // The encoder finishes its file and says where the part is; one that
    // takes too long is ended.
    runner->interrupt();
    QTimer::singleShot(kStopGraceMs, runner.get(), [weak = std::weak_ptr<ConsoleCapture>(runner)] {
        if (const std::shared_ptr<ConsoleCapture> r = weak.lock()) r->stop();
    });
}

void PositioningWindow::onConversionOutput(const QString& chunk) {
    const Busy busy(*this);
    if (!run_.take(chunk)) return;
    if (const std::optional<double> speed = run_.speed())
        paceLabel_->setText(::paceText(*speed, run_.progress()->seconds, durationInSeconds(video_.duration)) +
                            (run_.progress()->reencoded.isEmpty()
                                 ? QString()
                                 : QStringLiteral("; ") + run_.progress()->reencoded));
    advanceActivityAnimation();
    progressLabel_->setText(progressCaption(run_.shownPercent()));
}

void PositioningWindow::endConversion() {
    if (const std::shared_ptr<ConsoleCapture> runner = conversionRunner_) runner->stop();
    conversionRunner_.reset();
    if (const std::shared_ptr<ConsoleCapture> runner = frameRunner_) runner->stop();
    frameRunner_.reset();
}
