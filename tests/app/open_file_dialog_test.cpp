#include "app/open_file_dialog.h"

#include <gtest/gtest.h>

namespace {

struct FilterCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> types;  // description, patterns
    const char* filter;                                      // as kept
    const char* qt;                                          // as the Qt dialog takes it
};

class FileTypes : public testing::TestWithParam<FilterCase> {};

TEST_P(FileTypes, AreKeptAsTextAndShownInQtForm) {
    const FilterCase& c = GetParam();
    OpenFileDialog dialog;
    for (const auto& [description, patterns] : c.types)
        dialog.addFileType(QString::fromUtf8(description), QString::fromUtf8(patterns));
    EXPECT_EQ(dialog.filter().toStdString(), c.filter);
    EXPECT_EQ(OpenFileDialog::qtFilter(dialog.filter()).toStdString(), c.qt);
    dialog.clearFilter();
    EXPECT_TRUE(dialog.filter().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileTypes,
    testing::Values(
        FilterCase{"none", {}, "", ""},
        // Each pattern also matches upper-case names (".MP4" from cameras).
        FilterCase{"one_pattern", {{"Bitmaps", "*.bmp"}}, "Bitmaps (*.bmp)|*.bmp", "Bitmaps (*.bmp *.BMP)"},
        FilterCase{"several_patterns",
                   {{"Image Files", "*.bmp;*.gif;*.jpg"}},
                   "Image Files (*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg",
                   "Image Files (*.bmp *.BMP *.gif *.GIF *.jpg *.JPG)"},
        FilterCase{"two_types",
                   {{"Video Files", "*.avi;*.m2ts"}, {"All", "*"}},
                   "Video Files (*.avi;*.m2ts)|*.avi;*.m2ts|All (*)|*",
                   "Video Files (*.avi *.AVI *.m2ts *.M2TS);;All (*)"},
        // Qt reads the patterns from the last parentheses: a description
        // with its own keeps them.
        FilterCase{"parentheses_in_the_description",
                   {{"Clips (old)", "*.avi"}},
                   "Clips (old) (*.avi)|*.avi",
                   "Clips (old) (*.avi *.AVI)"}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

}  // namespace
