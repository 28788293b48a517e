// Metafiles are drawn with Qt's painter, which needs a QGuiApplication for its fonts.
#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
