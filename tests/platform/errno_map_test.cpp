#include <gtest/gtest.h>

#include <cerrno>

#include "errors.h"

namespace {

struct Translation {
    int error;
    DWORD code;
};

TEST(ErrnoTranslation, MapsEachPosixErrorToItsWindowsCode) {
    const Translation table[] = {
        {0, ERROR_SUCCESS},
        {EPERM, ERROR_ACCESS_DENIED},
        {EACCES, ERROR_ACCESS_DENIED},
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {ECONNREFUSED, ERROR_FILE_NOT_FOUND},
        {EBADF, ERROR_INVALID_HANDLE},
        {ENOTSOCK, ERROR_INVALID_HANDLE},
        {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        {EAGAIN, ERROR_NOT_ENOUGH_MEMORY},
        {ENOBUFS, ERROR_OUTOFMEMORY},
        {EINVAL, ERROR_INVALID_PARAMETER},
        {EFAULT, ERROR_INVALID_PARAMETER},
        {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
        {EEXIST, ERROR_ALREADY_EXISTS},
        {EADDRINUSE, ERROR_ALREADY_EXISTS},
        {ETIMEDOUT, ERROR_TIMEOUT},
        {ENOSYS, ERROR_NOT_SUPPORTED},
        {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
        {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
        {EBUSY, ERROR_BUSY},
        {EOVERFLOW, ERROR_TOO_MANY_POSTS},
    };
    for (const Translation &row : table)
        EXPECT_EQ(trax::platform::translateErrno(row.error), row.code) << "errno " << row.error;
}

TEST(ErrnoTranslation, UnknownErrorsBecomeAGeneralFailureNotSuccess) {
    EXPECT_EQ(trax::platform::translateErrno(EXDEV), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(trax::platform::translateErrno(-5), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(trax::platform::translateErrno(100000), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

} // namespace
