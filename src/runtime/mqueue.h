// The loop-window link: short text messages between a program and a loop
// window, reached by its window number.
#pragma once

// Opens the link to loop window `num`: the queue identifier; -1 when no queue
// exists for it (errno ENOENT) or no link is available (errno ENOSYS).
int MQ_open(int num);

// Asks the loop window for a connection: the connection id, or -1.
int MQ_connect(int msgqid);

// Sends a formatted request on a connection: 0, or -1 on failure.
int MQ_put(int msgqid, int conn_id, const char *format, ...);

// Receives one answer into `item` (at least 120 bytes): the status of the
// answer (0 a line of an answer that goes on), or a negative error.
int MQ_get(int msgqid, int conn_id, char *item);
