#include "watermark/add_filter.h"

#include "app/open_file_dialog.h"

void AddFilter(OpenFileDialog& dialog, const QString& description, const QString& pattern) {
    QString f = dialog.Filter;
    if (!f.isEmpty()) f += u'|';
    f += description + QStringLiteral(" (") + pattern + QStringLiteral(")|") + pattern;
    dialog.Filter = f;
}
