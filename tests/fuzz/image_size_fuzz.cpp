// The picture header reader on any file start: it must stay inside its 64 KiB buffer and never
// give a negative size (a BMP stored top-down has a negative height in its header).
#include "mark/image_size.h"
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Zero-padded past the file's end, as readImageSize fills it.
    static imagesize::Buffer buffer;
    buffer.fill(0);
    std::copy_n(data, std::min<std::size_t>(size, buffer.size()), buffer.begin());

    const imagesize::Size s = imagesize::sizeFromHeader(buffer);
    FUZZ_CHECK(s.width >= 0);
    FUZZ_CHECK(s.height >= 0);
    return 0;
}
