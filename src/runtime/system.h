// Process-level services: version, exit, background processes, children,
// prompts and timing.
#pragma once

// The version text of the system.
const char *ZEQ_version();

// Ends the program with `status`; every end of the program goes through here.
[[noreturn]] void ZEQ_exit(int status);
