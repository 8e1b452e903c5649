// "Video Selection" and the probe run that learns the video's duration and
// frame size from the encoder's text.
#include "app/form1.h"

#include "app/message.h"
#include "app/shell.h"
#include "probe/probe_parse.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"
#include "watermark/add_filter.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <exception>

void Form1::Command6_Click() {
    cd2.Filter.clear();
    AddFilter(cd2, QStringLiteral("Video Files"),
              QStringLiteral("*.avi;*.mpg;*.mpeg;*.divx;*.wmv;*.flv;*.mov"));
    cd2.ShowOpen(this);
    try {
        if (!cd2.FileName.isEmpty()) textvid->setPlainText(cd2.FileName);
        if (textvid->toPlainText().isEmpty()) {
            msgBox(this, QStringLiteral("Please select a valid video file"));
            return;
        }
        vidtitle->setText(cd2.FileTitle);
        initiate_vsize();
    } catch (const std::exception&) {
        msgBox(this, QStringLiteral("Please select a valid video file"));
    }
}

void Form1::initiate_vsize() {
    const QString line = quoteArg(ShortPath(programFolder()) + u'/' + encoderName()) +
                         QStringLiteral(" -i ") + quoteArg(ShortPath(textvid->toPlainText()));
    // Our own reference keeps the runner alive if the window drops it mid-run.
    if (const std::shared_ptr<ConsoleCapture> runner = conApp) runner->run(line);
}

void Form1::conApp_ReadProcess(const QString& readData) {
    getvsize(readData);
}

void Form1::get_duration(const QString& outstr) {
    if (const auto d = durationOf(outstr)) {
        duration = *d;
        Label5->setText(duration);
    }
}

void Form1::getvsize(const QString& conout) {
    get_duration(conout);
    const ProbeFacts facts = parseProbeChunk(conout);
    if (!facts.width || !facts.height) return;
    vidwidth = *facts.width;
    vidheight = *facts.height;
    vidres->setText(vidwidth + QStringLiteral(" x ") + vidheight);
}
