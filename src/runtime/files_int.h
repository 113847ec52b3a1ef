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
// Copies text into a caller's buffer of `size` bytes, cut to fit and always
// terminated; nothing for a null buffer or size 0.
void copy_out(char *out, std::size_t size, const std::string &text);

} // namespace files_int
