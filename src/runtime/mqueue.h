// The loop-window link: short text messages between a program (the client)
// and a loop window (the server), reached by its window number. Two
// transports: a System V message queue keyed by offset + window number (type
// 0, the default), or TCP on 127.0.0.1 at port offset + window number (type 1).
//
// A queue message is 120 bytes: a code character and a zero-terminated text of
// at most 118 characters. A socket frame is one length byte L followed by L
// bytes: the code character and the text without its zero. In a request the
// code is '0' + the sender's connection id ('/' asks for a connection); in an
// answer it is '0' + a status (0 a line of an answer that goes on, 2 the answer
// to a connect request, '-' the loop window is not running). Requests go as
// message type 1, answers to connect requests as type 2, every other answer as
// the client's connection id.
//
// Waits are guarded by an alarm of the link's time-out (20 s at start). When
// it expires the wait calls the time-out function (MQ_timeout_func), by
// default MQ_intrp, which ends the program with status 7.
#pragma once

#include <cstddef>

// ---- Client half ------------------------------------------------------------

// Opens the link to loop window `num`. Queue mode: the queue identifier (0 is a
// valid one). Socket mode: 1 when connected. -1 on every failure, with errno
// ENOENT (queue mode) or ECONNREFUSED (socket mode) when no loop window is
// there, another errno value for other failures.
int MQ_open(int num);

// Asks the loop window for a connection: the connection id it gives, or -1.
int MQ_connect(int msgqid);

// Sends a request (printf-style text, cut to 118 characters with a warning) on
// connection `conn_id` (-1 for a connect request). Queue mode: 0, or -1 on
// failure; socket mode: the number of bytes sent, or -1.
[[gnu::format(printf, 3, 4)]] int MQ_put(int msgqid, int conn_id, const char *format, ...);

// Waits for one answer to connection `conn_id` and copies its text into `item`
// (at most size - 1 characters). Returns the status of the answer, or a
// negative value when the receive failed (item emptied); -1 also when the
// socket was closed or the time-out function returned.
int MQ_get(int msgqid, int conn_id, char *item, std::size_t size);

// Queue mode: removes every waiting message of type `index` and returns -1.
// Socket mode: 0.
int MQ_clear(int msgqid, int index);

// The first window number from `ind` to ind + 49 where no loop window is
// found, or -1 when every one has a loop window (or cannot be checked).
int MQ_find(int ind);

// ---- Server half ------------------------------------------------------------

// Creates loop window `num`'s end of the link. Queue mode: the new queue
// identifier, readable and writable by its owner only, or -1 (also when the
// queue exists). Socket mode: 1 when listening on 127.0.0.1, or -1. -2 for
// num -1.
int MQ_create(int num);

// Takes one waiting request without waiting. Returns 1 for a request (the
// sender's connection id in *conn_id, its text in `item`, at most size - 1
// characters); 2 when a connect request was answered (item empty; *conn_id the
// new id, or when all 19 slots are taken -1 in queue mode and unchanged in
// socket mode); -1 when nothing is waiting or on an error; 0 for an empty
// message.
int MQ_sget(int msgqid, int *conn_id, char *item, std::size_t size);

// Answers connection `conn_id` with status `flag` (a negative status also ends
// the connection) and a printf-style text. Returns the send result; -1 for a
// negative queue or id, or an id that is not connected.
[[gnu::format(printf, 4, 5)]] int MQ_sput(int msgqid, int conn_id, int flag, const char *format, ...);

// Removes the queue (queue mode) or closes the sockets (socket mode); 0.
int MQ_del(int msgqid);

// ---- Settings and the alarm ----------------------------------------------------

// Seconds that one send or one wait for an answer may take (0: no limit).
int MQ_timeout(int val);
// The function run when a wait times out (null: MQ_intrp). It runs in the
// waiting code, not in a signal handler; when it returns, the wait fails.
int MQ_timeout_func(void (*func)(int));
// Added to the window number to form the queue key or the port.
int MQ_offset(int ind);
// The transport: 0 message queue, 1 TCP socket.
int MQ_settype(int ind);
// Reads the resource "parameter" as a comma list: "to=N" sets the time-out to
// N seconds, "qtype=sock" and "qtype=mqueue" choose the transport (any case).
int MQ_params();

// Starts the alarm of the time-out; 0.
int MQ_enable_alarm();
// Cancels the alarm; 0.
int MQ_disable_alarm();

// The default time-out function: warns "Queue not responding!!" and ends the
// program with status 7.
void MQ_intrp(int sig);
