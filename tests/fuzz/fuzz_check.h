// What the harnesses share: a failed property ends the run like a crash, so libFuzzer keeps the input.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? void() : fuzzFail(#cond, __FILE__, __LINE__))

// The input as the windows see the encoder's text: one byte per character.
inline QString latin1Text(const std::uint8_t* data, std::size_t size) {
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
