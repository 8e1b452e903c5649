#include "encoder/hook/mask_bmp.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v), put16(b, at + 2, v >> 16);
}

// A BMP file; pixel(x, y) gives R G B for the top-down row y.
std::vector<uint8_t> bmp(int w, int h, bool topDown, int bits = 24, int compression = 0) {
    const size_t row = size_t((w * 3 + 3) / 4 * 4);
    std::vector<uint8_t> f(54 + row * size_t(h), 0);
    f[0] = 'B', f[1] = 'M';
    put32(f, 2, uint32_t(f.size()));
    put32(f, 10, 54);
    put32(f, 14, 40);
    put32(f, 18, uint32_t(w));
    put32(f, 22, uint32_t(topDown ? -h : h));
    put16(f, 26, 1);
    put16(f, 28, uint32_t(bits));
    put32(f, 30, uint32_t(compression));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &f[54 + row * size_t(topDown ? y : h - 1 - y) + size_t(x) * 3];
            p[0] = uint8_t(10 * y), p[1] = uint8_t(100 + x), p[2] = uint8_t(x + y);  // B G R
        }
    return f;
}

TEST(MaskBmp, ReadsBothRowOrders) {
    for (bool topDown : {false, true}) {
        wm::RgbImage img;
        std::string error;
        ASSERT_TRUE(wm::decodeMaskBmp(bmp(5, 3, topDown), img, error)) << error;
        ASSERT_EQ(img.width, 5);
        ASSERT_EQ(img.height, 3);
        const uint8_t* p = &img.rgb[(2 * 5 + 4) * 3];  // x 4, y 2
        EXPECT_EQ(p[0], 6);
        EXPECT_EQ(p[1], 104);
        EXPECT_EQ(p[2], 20);
    }
}

TEST(MaskBmp, RefusesWhatIsNotPlain24Bit) {
    struct Case {
        std::vector<uint8_t> file;
        const char* error;
    };
    std::vector<uint8_t> truncated = bmp(10, 10, false);
    truncated.resize(truncated.size() - 20);
    std::vector<uint8_t> shortHeader = bmp(4, 4, false);
    shortHeader.resize(30);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    const Case cases[] = {
        {bmp(4, 4, false, 32), "32-bit BMP"},
        {bmp(4, 4, false, 8), "8-bit BMP"},
        {bmp(4, 4, false, 24, 1), "compressed BMP"},
        {truncated, "truncated BMP"},
        {shortHeader, "truncated BMP header"},
        {png, "not a BMP file"},
        {{}, "not a BMP file"},
    };
    for (const Case& c : cases) {
        wm::RgbImage img;
        std::string error;
        EXPECT_FALSE(wm::decodeMaskBmp(c.file, img, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// The file is looked at before its pixels are read: what is not a regular file, or a header that
// claims more pixels than the file holds, is refused at once, whatever size it claims.
TEST(MaskBmp, AFileIsCheckedBeforeItsPixelsAreRead) {
    const auto dir = std::filesystem::temp_directory_path() / ("mask-read-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir / name).string();
    };
    std::vector<uint8_t> huge = bmp(4, 4, false);
    put32(huge, 18, 16384);
    put32(huge, 22, 16384);
    const std::string fifo = (dir / "mask.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path;
        const char* error;
    } cases[] = {
        {"endless device", "/dev/zero", "not a regular file"},
        {"pipe without a writer", fifo, "not a regular file"},
        {"folder", dir.string(), "not a regular file"},
        {"header of a 16384 x 16384 mask in 102 bytes", write("huge.bmp", huge), "truncated BMP"},
        {"missing", (dir / "none.bmp").string(), "cannot open mask"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wm::RgbImage img;
        std::string error;
        // A read of /dev/zero or a wait on the pipe would never return.
        EXPECT_FALSE(wm::readMaskBmp(c.path, img, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    wm::RgbImage img;
    std::string error;
    EXPECT_TRUE(wm::readMaskBmp(write("fine.bmp", bmp(5, 3, true)), img, error)) << error;
    EXPECT_EQ(img.width, 5);
    std::filesystem::remove_all(dir);
}

}  // namespace
