// Process-level services: version, exit, background processes, children,
// prompts and timing.
#pragma once

// The version text of the system.
const char *ZEQ_version();

// Ends the program with `status`; every end of the program goes through here.
[[noreturn]] void ZEQ_exit(int status);

// The process id.
int ZEQ_get_pid();

// Moves the program into the background: the parent process ends with status
// 0 and the child, detached from the terminal, returns 1. Returns 0 (in the
// only process) when the process cannot be split or /dev/null cannot be opened;
// the caller then ends with status 1.
int ZEQ_back_proc();

// Starts the program `filename` with `argv` and the environment `env` (null:
// the current one). Flag bit 2 runs it in the background and records it in the
// child table (result: its entry index, or -1 when no entry is free or it
// cannot be started); without it the call waits and returns the child's exit
// status (-1 when it cannot be started or did not exit normally). Flag bit 1
// makes the child change its working directory to `filename` first.
int ZEQ_run(const char *filename, char **argv, char **env, int flag);

// Runs `func(arg)` in a child process and returns its result as the child's
// exit status; -1 when the child cannot be started or did not exit normally.
int ZEQ_run_func(int (*func)(int), int arg);

// Set the input and output files of later children (empty: none); return 1.
int ZEQ_set_infile(const char *name);
int ZEQ_set_outfile(const char *name);

// The table of background children.
int ZEQ_add_proc(int pid, const char *name); // first free entry, or -1
int ZEQ_numproc();                           // entries used: one past the highest filled
int ZEQ_proc(int pid);                       // entry of this process id, or -1
int ZEQ_proc_id(int proc);                   // id of an entry (-1 free)
const char *ZEQ_proc_name(int proc);         // name of an entry
int ZEQ_set_proc(int proc, int value);       // sets the id of an entry; 0
int ZEQ_clr_proc(int proc);                  // frees an entry; 0
int ZEQ_chk_proc(int proc);                  // 1 while its process runs, else frees it and 0

// The commands every prompt understands: "set NAME[=]VALUE" stores a resource
// ("set" alone lists them) and returns 1; "exit" ends the program with status
// 0; any other line returns 0. Both are whole words.
int ZEQ_set_command(const char *string);

// Prompts on the terminal. An empty answer (also the end of input) leaves
// `str` as the caller set it, or 0 for the number prompts. In batch mode
// (FLAG_batch) standard input is never read: every prompt prints a warning
// with its text and gets the empty answer at once. Answers count as texts of
// the user (FILE_user_text).
// The first word of the answer, at most 19 characters, into `str` (a new
// 81-character buffer, freed with free, when `str` is null).
char *ZEQ_promptl(const char *prompt, char *str);
// The first word, at most length - 1 characters, into `str` (a new buffer of
// length + 1 characters, freed with free, when `str` is null).
char *ZEQ_prompts(const char *prompt, char *str, int length);
// A number; asks again until the answer begins with one.
float ZEQ_promptf(const char *prompt);
int ZEQ_promptd(const char *prompt);

// Sleeps `secs` seconds; 0, or -1 when `secs` is not positive.
int ZEQ_sleep(float secs);

// Starts the elapsed-time clock; 0.
int ZEQ_init_time();
// Seconds since ZEQ_init_time.
float ZEQ_elapse_time();

// The virtual memory size of the process in bytes (INT_MAX when larger); 0
// when it cannot be read.
int ZEQ_get_virt_mem();
