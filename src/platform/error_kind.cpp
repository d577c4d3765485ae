#include "platform/error_kind.h"

#include <cerrno>

namespace ddt::platform {

ErrorKind KindOfOpenErrno(int error) noexcept {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ErrorKind::Missing;
    case EISDIR: return ErrorKind::NotAWorkbook;
    case ENAMETOOLONG: return ErrorKind::BadArgument;
    default: return ErrorKind::Other;
  }
}

ErrorKind KindOfWriteErrno(int error) noexcept {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case ETXTBSY: return ErrorKind::NotWritable;
    case ENAMETOOLONG: return ErrorKind::BadArgument;
    default: return ErrorKind::Other;
  }
}

}  // namespace ddt::platform
