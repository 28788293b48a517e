// libFuzzer target for the template reader (clang -fsanitize=fuzzer):
//     xls_fuzz_template -max_len=200000 CORPUS_DIR tests/data/xls/bad
#include "tests/xls/fuzz/fuzz_entry.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tav::xls::fuzz::readTemplate(data, size);
    return 0;
}
