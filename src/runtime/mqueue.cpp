#include "runtime/mqueue.h"

#include <cerrno>

// Stands in for the loop-window link until it is built: no link is available.
int MQ_open(int) {
    errno = ENOSYS;
    return -1;
}

// Stands in for the loop-window link until it is built: no connection.
int MQ_connect(int) {
    return -1;
}

// Stands in for the loop-window link until it is built: nothing is sent.
int MQ_put(int, int, const char *, ...) {
    return -1;
}

// Stands in for the loop-window link until it is built: the link is closed.
int MQ_get(int, int, char *item) {
    if (item) item[0] = '\0';
    return -1;
}
