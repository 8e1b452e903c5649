#include "runner/command_line.h"

namespace {

bool isSeparator(QChar c) {
    switch (c.unicode()) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            return true;
        default:
            return false;
    }
}

}  // namespace

QStringList splitCommandLine(const QString& cmdLine) {
    QStringList args;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    const qsizetype n = cmdLine.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = cmdLine[i];
        if (c == u'\\') {
            qsizetype end = i;
            while (end < n && cmdLine[end] == u'\\')
                ++end;
            const qsizetype backslashes = end - i;
            inArgument = true;
            if (end < n && cmdLine[end] == u'"') {
                current += QString(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    current += u'"';
                    i = end + 1;
                } else {
                    i = end;  // the quote groups; handled on the next pass
                }
            } else {
                current += QString(backslashes, u'\\');
                i = end;
            }
        } else if (c == u'"') {
            inQuotes = !inQuotes;
            inArgument = true;
            ++i;
        } else if (!inQuotes && isSeparator(c)) {
            if (inArgument) {
                args.append(current);
                current.clear();
                inArgument = false;
            }
            ++i;
        } else {
            current += c;
            inArgument = true;
            ++i;
        }
    }
    if (inArgument) args.append(current);
    return args;
}

QString quoteArg(const QString& text) {
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += u'"';
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype end = i;
        while (end < n && text[end] == u'\\')
            ++end;
        const qsizetype backslashes = end - i;
        if (end == n) {
            // Before the closing quote: doubled, so that quote still groups.
            quoted += QString(backslashes * 2, u'\\');
            break;
        }
        if (text[end] == u'"') {
            quoted += QString(backslashes * 2 + 1, u'\\');
            quoted += u'"';
        } else {
            quoted += QString(backslashes, u'\\');
            quoted += text[end];
        }
        i = end + 1;
    }
    quoted += u'"';
    return quoted;
}

std::vector<std::string> toNativeArguments(const QStringList& args) {
    std::vector<std::string> native;
    native.reserve(args.size());
    for (const QString& arg : args)
        native.push_back(arg.toUtf8().toStdString());
    return native;
}
