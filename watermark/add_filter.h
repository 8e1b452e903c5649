#pragma once

#include <QString>

class OpenFileDialog;

// Appends "desc (pattern)|pattern" to the dialog's file-type list, with "|"
// in front when the list is not empty.
void AddFilter(OpenFileDialog& dialog, const QString& description, const QString& pattern);
