// Windows-style command lines.
//
// The system hands the runner one command-line string, as the program did on
// Windows; splitCommandLine cuts it into the arguments given to the OS:
// - white space (space, tab, CR, LF, VT, FF) outside double quotes separates;
// - a double quote toggles grouping (an empty "" is an empty argument);
// - 2n backslashes before a double quote give n backslashes and a grouping
//   quote; 2n+1 give n backslashes and a literal quote;
// - every other backslash is literal.
// The first argument is the program: a path when it holds "/", otherwise it is
// searched on PATH.
//
// quoteArg is the inverse for one argument: the text enclosed in double quotes
// and escaped by the same rules, so that splitCommandLine gives back exactly
// that text as one argument, whatever it holds. Text without '"' or '\' comes
// back as '"' + text + '"', the classic quoted token.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

QStringList splitCommandLine(const QString& cmdLine);
QString quoteArg(const QString& text);

// The arguments as the OS takes them: UTF-8 bytes.
std::vector<std::string> toNativeArguments(const QStringList& args);
