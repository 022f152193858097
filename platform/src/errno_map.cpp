// Translation of POSIX error numbers to the Windows error codes the callers expect.
#include <cerrno>

#include "errors.h"

namespace trax::platform {

DWORD translateErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case EPERM:
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ECONNREFUSED:
        return ERROR_FILE_NOT_FOUND;
    case EBADF:
    case ENOTSOCK:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOBUFS:
        return ERROR_OUTOFMEMORY;
    case EINVAL:
    case ERANGE:
    case EFAULT:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EEXIST:
    case EADDRINUSE:
        return ERROR_ALREADY_EXISTS;
    case ETIMEDOUT:
        return ERROR_TIMEOUT;
    case ENOSYS:
    case EOPNOTSUPP:
    case EAFNOSUPPORT:
    case EPROTONOSUPPORT:
        return ERROR_NOT_SUPPORTED;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY:
        return ERROR_BUSY;
    case EOVERFLOW:
        return ERROR_TOO_MANY_POSTS;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace trax::platform
