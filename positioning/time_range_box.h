// The positioning window's "When" fields: "From" and "Until" (seconds or
// h:mm:ss, empty for the start and the end) and "Fade" (seconds, in and out).
// It reads them into a time range, or says what is wrong with them.
#pragma once

#include "rules/time_weight.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

class QLineEdit;

class TimeRangeBox : public QWidget {
    Q_OBJECT
public:
    explicit TimeRangeBox(QWidget* parent = nullptr);

    // The video's length, which the bounds must stay within; nothing while unknown.
    void setDuration(std::optional<double> seconds);

    // The range the fields give; nothing while problem() says what is wrong.
    std::optional<rules::TimeRange> range() const;
    // "" while the fields give a usable range.
    QString problem() const;

    // The three texts, From, Until and Fade, as typed (to remember them).
    QStringList texts() const;
    void setTexts(const QStringList& texts);

signals:
    // A field was edited (its editing finished).
    void rangeChanged();

private:
    QLineEdit* field(const char* name, const QString& placeholder, const QString& accessible);

    QLineEdit* from_ = nullptr;
    QLineEdit* until_ = nullptr;
    QLineEdit* fade_ = nullptr;
    std::optional<double> duration_;
};
