#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace tav {

int errnoToErrorNumber(int errnoValue) noexcept {
    switch (errnoValue) {
    case ENOENT:
        return err::FileNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    case EEXIST:
    case ENOTEMPTY:
        return err::FileAlreadyExists;
    case EBUSY:
    case ETXTBSY:
        return err::FileAlreadyOpen;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
    case EIO:
        return err::DeviceUnavailable;
    case EACCES:
    case EPERM:
    case EROFS:
        return err::PermissionDenied;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return err::BadFileName;
    case ENOMEM:
        return err::OutOfMemory;
    default:
        return err::PathFileAccess;
    }
}

void throwErrno(int errnoValue, FileOperation operation, const QString& path) {
    throw Error(errnoToErrorNumber(errnoValue),
                failedOperation(operation, path, osErrorText(errnoValue)),
                QString::fromLocal8Bit(std::strerror(errnoValue)), errnoValue);
}

} // namespace tav
