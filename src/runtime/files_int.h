// Services shared by the source files of the naming module (not a public
// interface of the module).
#pragma once

#include <cstddef>
#include <string>

namespace files_int {

// The name placed in the directory path, unbounded (see FILE_add_path).
std::string add_path(const char *path, const char *file);
// The name with a leading "~" or "~user" expanded (see FILE_add_user_path).
std::string user_path(const char *file);

} // namespace files_int
