#pragma once
// The libFuzzer entry points every target shares, included once by each: a
// QCoreApplication (Qt finds its image plugins through it), then each input as
// bytes for the target's fuzzOne().
#include "platform/PlatformError.h"

#include <QCoreApplication>

void fuzzOne(const QByteArray &bytes);

// A finding: qFatal aborts, so libFuzzer keeps the input.
inline void require(bool ok, const char *what)
{
    if (!ok)
        qFatal("finding: %s", what);
}

// Runs f; PlatformError is the program's answer to bad input, not a finding.
template <typename F> void tolerating(F f)
{
    try {
        f();
    } catch (const PlatformError &) {
    }
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
