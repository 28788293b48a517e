#include "platform/error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(Errors, ErrnoMapsToClassicNumbers) {
    EXPECT_EQ(tav::errnoToErrorNumber(ENOENT), tav::err::FileNotFound);
    EXPECT_EQ(tav::errnoToErrorNumber(ENOTDIR), tav::err::PathNotFound);
    EXPECT_EQ(tav::errnoToErrorNumber(EEXIST), tav::err::FileAlreadyExists);
    EXPECT_EQ(tav::errnoToErrorNumber(ENOSPC), tav::err::DiskFull);
    EXPECT_EQ(tav::errnoToErrorNumber(EACCES), tav::err::PermissionDenied);
    EXPECT_EQ(tav::errnoToErrorNumber(EROFS), tav::err::PermissionDenied);
    EXPECT_EQ(tav::errnoToErrorNumber(ENAMETOOLONG), tav::err::BadFileName);
}

TEST(Errors, ThrowErrnoCarriesNumberAndPath) {
    try {
        tav::throwErrno(EACCES, QStringLiteral("copy"), QStringLiteral("/x/レポート.xls"));
        FAIL() << "no exception";
    } catch (const tav::Error& e) {
        EXPECT_EQ(e.number(), 70);
        EXPECT_TRUE(e.description().contains(QStringLiteral("/x/レポート.xls")));
    }
}

} // namespace
