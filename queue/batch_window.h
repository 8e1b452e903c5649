// The queue: many videos, one placement. A row per video with its proof
// frame (made by the encoder and its module, as the result will look), its
// size and its state; the whole batch's progress and time left; Start, Stop
// and "Replace". The positioning window opens it with its job ("Add
// Videos…"); the work itself is a BatchRun, as for the headless command.
#pragma once

#include "app/program_window.h"
#include "jobs/job.h"

#include <QImage>
#include <QStringList>
#include <QThreadPool>

#include <memory>
#include <vector>

class BatchRun;
class QCheckBox;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class ValueLabel;

class BatchWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit BatchWindow(QWidget* parent = nullptr);
    ~BatchWindow() override;

    static BatchWindow* loaded();
    // The queue for this job, shown, with `videos` (files or folders) added.
    static BatchWindow& open(const Job& job, const QImage& picture, const QStringList& videos);

    // Adds the videos of `paths` (folders searched) that are not listed yet.
    // Each row shows "…" until its video is described and its proof frame made,
    // away from the window's thread.
    void addVideos(const QStringList& paths);
    // Takes the selected rows off the list (not while the batch runs).
    void removeSelected();
    void start();
    void stop();
    bool running() const { return batch_ != nullptr; }

    // For tests and the table: the listed videos and their rows' texts.
    QStringList videos() const;
    QString stateText(int row) const;
    QImage proofFrame(int row) const;

signals:
    // The batch has ended (every video done, skipped, failed or stopped).
    void finished();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    struct Row {
        QString path;
        QImage proof;
        QSize frame;
        QString state;
        quint64 ticket = 0;  // of the proof last asked for
    };
    struct ProofOutcome;
    static ProofOutcome proofOf(const Job& job, const QImage& picture, const QString& path);

    void setJob(const Job& job, const QImage& picture);
    void makeProof(Row& row);
    void takeProof(quint64 ticket, const ProofOutcome& outcome);
    void showRow(int index);
    void tick();
    void showOverall();

    Job job_;
    QImage picture_;
    std::vector<Row> rows_;
    std::unique_ptr<BatchRun> batch_;
    QThreadPool proofs_;
    quint64 lastTicket_ = 0;

    QTableWidget* table_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* addFolderButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QCheckBox* replaceCheck_ = nullptr;
    QProgressBar* overall_ = nullptr;
    ValueLabel* timeLeft_ = nullptr;
    QTimer* timer_ = nullptr;
};

// "1:05", "1:02:03": a time left in minutes and seconds (hours when needed).
QString clockText(double seconds);
