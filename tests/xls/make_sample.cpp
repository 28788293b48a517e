// Writes a sample workbook for the round-trip checks with real readers:
//     xls-make-sample TEMPLATE OUT.xls PICTURES [notes] [nojpeg] [big]
#include "tests/xls/sample_run.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: xls-make-sample TEMPLATE OUT.xls PICTURES [notes] [nojpeg] [big]\n");
        return 2;
    }
    tav::xls::testing::SampleOptions options;
    options.pictures = std::atoi(argv[3]);
    for (int i = 4; i < argc; ++i) {
        options.notes = options.notes || std::strcmp(argv[i], "notes") == 0;
        options.jpegPass = options.jpegPass && std::strcmp(argv[i], "nojpeg") != 0;
        options.noisy = options.noisy || std::strcmp(argv[i], "big") == 0;
    }
    try {
        tav::xls::testing::writeSample(QString::fromLocal8Bit(argv[1]),
                                       QString::fromLocal8Bit(argv[2]), options);
    } catch (const tav::Error& e) {
        std::fprintf(stderr, "xls-make-sample: error %d: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
