#include "queue/batch_window.h"

#include "app/file_choice.h"
#include "app/message.h"
#include "app/value_label.h"
#include "jobs/batch_run.h"
#include "jobs/batch_video.h"
#include "jobs/program_paths.h"
#include "jobs/video_types.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

WindowSlot<BatchWindow>& slot() {
    static WindowSlot<BatchWindow> s;
    return s;
}

constexpr QSize kProofSize(160, 90);
// A row whose video is still being described.
const QString kPending = QStringLiteral("…");

QString videoFilter() {
    return QStringLiteral("Video Files (%1)").arg(videoFilePattern().replace(u';', u' '));
}

}  // namespace

struct BatchWindow::ProofOutcome {
    QSize frame;
    QImage proof;
    QString failure;  // why the video cannot be converted; "" when nothing says so
};

// Describing a video, drawing a text for it and making its proof take seconds
// each (a pipe, an 8K frame): they run away from the window's thread.
BatchWindow::ProofOutcome BatchWindow::proofOf(const Job& job, const QImage& picture, const QString& path) {
    ProofOutcome o;
    QString why;
    const std::optional<VideoFacts> facts = probeVideo(path, &why);
    if (!facts) {
        o.failure = why;
        return o;
    }
    o.frame = facts->upright;
    const std::optional<QImage> proof =
        ::proofFrame(placementOf(job, picture, path, facts->recorded), path, *facts, job.range, &why);
    if (proof)
        o.proof = *proof;
    else
        o.failure = why;
    return o;
}

QString clockText(double seconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

BatchWindow::BatchWindow(QWidget* parent) : ProgramWindow(parent) {
    setObjectName(QStringLiteral("BatchWindow"));
    setWindowTitle(QStringLiteral("Watermark Image - Videos"));
    setWindowFlags(Qt::Window);

    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("videos"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Proof"), QStringLiteral("Video"), QStringLiteral("Size"), QStringLiteral("State")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setIconSize(kProofSize);
    table_->verticalHeader()->setDefaultSectionSize(kProofSize.height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, kProofSize.width() + 8);
    table_->setColumnWidth(1, 220);
    table_->setAccessibleName(QStringLiteral("Videos of the batch"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    addButton_ = button("addVideos", QStringLiteral("Add Videos…"));
    addFolderButton_ = button("addFolder", QStringLiteral("Add Folder…"));
    removeButton_ = button("remove", QStringLiteral("Remove"));
    removeButton_->setToolTip(QStringLiteral("Take the selected videos off the list"));
    startButton_ = button("start", QStringLiteral("Start"));
    stopButton_ = button("stop", QStringLiteral("Stop"));
    stopButton_->setEnabled(false);
    replaceCheck_ = new QCheckBox(QStringLiteral("Replace results that are already there"), this);
    replaceCheck_->setObjectName(QStringLiteral("replace"));
    overall_ = new QProgressBar(this);
    overall_->setObjectName(QStringLiteral("overall"));
    overall_->setRange(0, 1000);
    overall_->setFormat(QStringLiteral("%p%"));
    overall_->setAccessibleName(QStringLiteral("Progress of the batch"));
    timeLeft_ = new ValueLabel(QStringLiteral("Time left"), this);
    timeLeft_->setObjectName(QStringLiteral("timeLeft"));
    timeLeft_->setMinimumWidth(140);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton_);
    buttons->addWidget(addFolderButton_);
    buttons->addWidget(removeButton_);
    buttons->addWidget(replaceCheck_);
    buttons->addStretch(1);
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    auto* progress = new QHBoxLayout;
    progress->addWidget(overall_, 1);
    progress->addWidget(timeLeft_);
    auto* root = new QVBoxLayout(this);
    root->addLayout(buttons);
    root->addWidget(table_, 1);
    root->addLayout(progress);
    resize(720, 420);

    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &BatchWindow::tick);
    connect(addButton_, &QPushButton::clicked, this, [this] {
        const Busy busy(*this);
        const QStringList files = chooseFilesToOpen(
            this, QStringLiteral("Add Videos"),
            QStandardPaths::writableLocation(QStandardPaths::MoviesLocation), videoFilter());
        if (isLoaded()) addVideos(files);
    });
    connect(addFolderButton_, &QPushButton::clicked, this, [this] {
        const Busy busy(*this);
        const QString folder = chooseFolder(this, QStringLiteral("Add Folder"),
                                            QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
        if (isLoaded() && !folder.isEmpty()) addVideos({folder});
    });
    connect(removeButton_, &QPushButton::clicked, this, &BatchWindow::removeSelected);
    connect(startButton_, &QPushButton::clicked, this, &BatchWindow::start);
    connect(stopButton_, &QPushButton::clicked, this, &BatchWindow::stop);
}

BatchWindow::~BatchWindow() {
    // Proofs not begun are dropped; those under way end on their own.
    proofs_.clear();
    proofs_.waitForDone();
}

BatchWindow* BatchWindow::loaded() {
    return slot().loaded();
}

BatchWindow& BatchWindow::open(const Job& job, const QImage& picture, const QStringList& videos) {
    BatchWindow& w = slot().instance([] { return std::make_unique<BatchWindow>(); },
                                     [](BatchWindow& fresh) { fresh.show(); });
    if (!w.running()) w.setJob(job, picture);
    w.show();
    w.raise();
    w.addVideos(videos);
    return w;
}

void BatchWindow::setJob(const Job& job, const QImage& picture) {
    job_ = job;
    picture_ = picture;
    // A new placement makes new proofs.
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        makeProof(rows_[i]);
        showRow(static_cast<int>(i));
    }
}

void BatchWindow::addVideos(const QStringList& paths) {
    const Busy busy(*this);
    if (running()) return;
    QString missing;
    for (const QString& video : collectVideos(paths, &missing)) {
        if (videos().contains(video)) continue;
        Row row;
        row.path = video;
        makeProof(row);
        rows_.push_back(row);
        table_->insertRow(table_->rowCount());
        showRow(static_cast<int>(rows_.size()) - 1);
    }
    if (!missing.isEmpty()) msgBox(this, missing);
    showOverall();
}

void BatchWindow::makeProof(Row& row) {
    row.ticket = ++lastTicket_;
    row.state = kPending;
    row.proof = QImage();
    const quint64 ticket = row.ticket;
    auto* watcher = new QFutureWatcher<ProofOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, ticket] {
        watcher->deleteLater();
        takeProof(ticket, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(
        &proofs_, [job = job_, picture = picture_, path = row.path] { return proofOf(job, picture, path); }));
}

void BatchWindow::takeProof(quint64 ticket, const ProofOutcome& outcome) {
    // A row taken off the list or asked for a newer proof drops this one.
    const auto row =
        std::find_if(rows_.begin(), rows_.end(), [ticket](const Row& r) { return r.ticket == ticket; });
    if (row == rows_.end()) return;
    if (outcome.frame.isValid()) row->frame = outcome.frame;
    row->proof = outcome.proof;
    // A batch started meanwhile says the state itself.
    if (row->state == kPending)
        row->state = outcome.failure.isEmpty() ? QStringLiteral("waiting")
                                               : QStringLiteral("failed: ") + outcome.failure;
    showRow(static_cast<int>(row - rows_.begin()));
}

void BatchWindow::removeSelected() {
    if (running()) return;
    QList<int> picked;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        picked << index.row();
    std::sort(picked.begin(), picked.end(), std::greater<>());
    for (const int i : picked) {
        rows_.erase(rows_.begin() + i);
        table_->removeRow(i);
    }
    showOverall();
}

void BatchWindow::showRow(int index) {
    const Row& row = rows_[static_cast<std::size_t>(index)];
    auto* proof = new QTableWidgetItem;
    if (!row.proof.isNull())
        proof->setIcon(QIcon(
            QPixmap::fromImage(row.proof.scaled(kProofSize, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
    table_->setItem(index, 0, proof);
    table_->setItem(index, 1, new QTableWidgetItem(QFileInfo(row.path).fileName()));
    table_->item(index, 1)->setToolTip(row.path);
    table_->setItem(
        index, 2,
        new QTableWidgetItem(row.frame.isValid()
                                 ? QStringLiteral("%1 x %2").arg(row.frame.width()).arg(row.frame.height())
                                 : QString()));
    table_->setItem(index, 3, new QTableWidgetItem(row.state));
    table_->item(index, 3)->setToolTip(row.state);
}

QStringList BatchWindow::videos() const {
    QStringList out;
    for (const Row& r : rows_)
        out << r.path;
    return out;
}

QString BatchWindow::stateText(int row) const {
    return rows_.at(static_cast<std::size_t>(row)).state;
}

QImage BatchWindow::proofFrame(int row) const {
    return rows_.at(static_cast<std::size_t>(row)).proof;
}

void BatchWindow::start() {
    const Busy busy(*this);
    if (running() || rows_.empty()) return;
    BatchOptions options;
    options.replace = replaceCheck_->isChecked();
    options.outputFolder = job_.outputFolder.isEmpty() ? outputFolder() : job_.outputFolder;
    batch_ = std::make_unique<BatchRun>(job_, picture_, videos(), options);
    batch_->changed = [this](std::size_t i) {
        const BatchVideo& v = batch_->videos()[i];
        Row& row = rows_[i];
        row.frame = v.frame.isValid() ? v.frame : row.frame;
        switch (v.state) {
            case VideoState::Converting:
                row.state = QStringLiteral("converting %1 %").arg(static_cast<int>(v.percent));
                if (!v.reencoded.isEmpty()) row.state += QStringLiteral(", ") + v.reencoded;
                break;
            case VideoState::Waiting:
                row.state = QStringLiteral("waiting");
                break;
            default:
                row.state = QLatin1String(stateName(v.state)) +
                            (v.message.isEmpty() ? QString() : QStringLiteral(": ") + v.message) +
                            (v.reencoded.isEmpty() ? QString() : QStringLiteral("; ") + v.reencoded);
                break;
        }
        showRow(static_cast<int>(i));
    };
    for (Row& row : rows_)
        row.state = QStringLiteral("waiting");
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        showRow(i);
    startButton_->setEnabled(false);
    addButton_->setEnabled(false);
    addFolderButton_->setEnabled(false);
    removeButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    timer_->start();
    tick();
}

void BatchWindow::stop() {
    if (batch_) batch_->stop();
}

void BatchWindow::tick() {
    if (!batch_) return;
    const bool more = batch_->step(0);
    showOverall();
    if (more) return;
    const bool stopped = batch_->stopping();
    timer_->stop();
    batch_.reset();
    startButton_->setEnabled(true);
    addButton_->setEnabled(true);
    addFolderButton_->setEnabled(true);
    removeButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    timeLeft_->setText(stopped ? QStringLiteral("stopped") : QStringLiteral("finished"));
    emit finished();
}

void BatchWindow::showOverall() {
    if (!batch_) return;
    overall_->setValue(static_cast<int>(batch_->overallPercent() * 10));
    const std::optional<double> left = batch_->overallEtaSeconds();
    timeLeft_->setText(left ? QStringLiteral("about %1 left").arg(clockText(*left)) : QString());
}

void BatchWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    if (!isLoaded()) return;
    hide();
    // Each running encoder is asked to stop and keeps its part.
    timer_->stop();
    batch_.reset();
    proofs_.clear();
    unload();
}
