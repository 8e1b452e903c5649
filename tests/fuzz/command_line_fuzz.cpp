// Quoting and splitting on any text: a quoted argument splits back to exactly itself, and the
// arguments any command line splits into, quoted and joined again, split back to the same list.
#include "runner/command_line.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString quoted = quoteArg(text);
    FUZZ_CHECK(splitCommandLine(quoted) == QStringList{text});
    if (!text.contains(u'"') && !text.contains(u'\\')) FUZZ_CHECK(quoted == u'"' + text + u'"');

    const QStringList args = splitCommandLine(text);
    QStringList quotedArgs;
    for (const QString& arg : args)
        quotedArgs.append(quoteArg(arg));
    FUZZ_CHECK(splitCommandLine(quotedArgs.join(u' ')) == args);
    // Tabs and line breaks separate as well as spaces.
    FUZZ_CHECK(splitCommandLine(quotedArgs.join(QStringLiteral("\t\r\n"))) == args);

    // Every argument reaches the OS whole, as its UTF-8 bytes.
    const std::vector<std::string> native = toNativeArguments(args);
    FUZZ_CHECK(native.size() == std::size_t(args.size()));
    for (std::size_t i = 0; i < native.size(); ++i)
        FUZZ_CHECK(QString::fromStdString(native[i]) == args[qsizetype(i)]);
    return 0;
}
