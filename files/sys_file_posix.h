// What the POSIX file operations and the POSIX output targets share.
#pragma once

#include <sys/stat.h>

#include "files/sys_file.h"

namespace vextal {

/// The identity of the file `st` describes.
FileIdentity identity_of(const struct stat& st);
/// Keeps `error` as the reason of a failure that no call gave an errno for.
void keep_error(int error);

}  // namespace vextal
