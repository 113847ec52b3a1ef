// Linked into every module test: a unit test names its own files and
// commands, so FILE_open opens all of them. The program trusts only the names
// its user gave; the tests of that refusal set FILE_TRUST_USER themselves.
#include "runtime/files.h"

namespace {

const int trust_before = FILE_set_trust(FILE_TRUST_ALL);

} // namespace
