// libFuzzer entry point for the report readers (TA1, 999, 277CA, 835) and what is made of
// their answers; the property itself lives in fuzz_answers_check.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz_answers_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString problem = zv::fuzz::checkAnswers(input);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
