// The loop-window link: short text messages to and from a loop window over a
// System V message queue or a loopback socket, guarded by a time-out.
// File-static state: the transport, key offset and time-out, the sockets and
// connection slots, and the queue last opened.
#include "runtime/mqueue.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/zeq.h"

namespace {

constexpr int MSG_SIZE = 120;          // bytes of every queue message
constexpr int TEXT_MAX = MSG_SIZE - 2; // text characters after the code, before the zero
constexpr int NUM_CONN = 25;           // connection slots; slot i serves id i + 2
constexpr int MAX_SLOT = 19;           // slots given to clients: 1 to 19
constexpr long REQUEST_TYPE = 1;       // every request to the loop window
constexpr long CONNECT_TYPE = 2;       // answers to connect requests
constexpr int MAX_CONN_ID = 'z' - '0'; // highest id whose code is a plain character

struct mqueuebuf {
    long mtype;
    char mtext[MSG_SIZE + 4];
};

int type = 0;                    // 0 message queue, 1 TCP socket
int offset = 0;                  // added to the window number
int timeout = 20;                // seconds per send or wait
void (*to_func)(int) = nullptr;  // time-out function; null: MQ_intrp
void (*top_func)(int) = nullptr; // SIGALRM handler found before the module's own
bool top_saved = false;
int sock1 = -1;          // client: connected socket; server: listening socket
int sock2 = -1;          // server: the accepted client
int conn[NUM_CONN] = {}; // server: slots in use
int msgqid = 0;          // client: the queue of the last open

// Set by the SIGALRM handler; the waits check it.
volatile sig_atomic_t expired = 0;

void on_alarm(int) {
    expired = 1;
}

// A wait whose alarm expired: runs the time-out function, which by default
// ends the program. When it returns, the wait fails.
void time_out() {
    MQ_disable_alarm();
    if (to_func)
        to_func(SIGALRM);
    else
        MQ_intrp(SIGALRM);
}

// The text in a buffer of at most `len` bytes that need not be terminated.
std::string_view text_of(const char *buf, std::size_t len) {
    return std::string_view(buf, strnlen(buf, len));
}

// The code character for a connection id or status; false when it would not
// be a plain character.
bool code_char(int value, char &code) {
    if (value < -('0' - 1) || value > MAX_CONN_ID) return false;
    code = static_cast<char>('0' + value);
    return true;
}

// Formats a message text of at most TEXT_MAX characters into `text`; a longer
// text is cut with a warning. False when the format fails.
bool format_text(const char *func, char *text, const char *format, va_list ap) {
    text[0] = '\0';
    if (!format) return false;
    int n = std::vsnprintf(text, TEXT_MAX + 1, format, ap);
    if (n < 0) {
        text[0] = '\0';
        return false;
    }
    if (n > TEXT_MAX) MESS_print(M_WARN, "%s: Message of %d characters cut to %d\n", func, n, TEXT_MAX);
    return true;
}

// The queue key or port for window `num`; false when out of range.
bool window_key(int num, long long lo, long long hi, int &key) {
    long long k = static_cast<long long>(offset) + num;
    if (k < lo || k > hi) return false;
    key = static_cast<int>(k);
    return true;
}

// Sleeps `secs` seconds, or less when the alarm expires.
void pause_for(double secs) {
    struct timespec req {
        static_cast<time_t>(secs),
            static_cast<long>((secs - static_cast<double>(static_cast<time_t>(secs))) * 1e9)
    };
    struct timespec rem {};
    while (nanosleep(&req, &rem) != 0 && errno == EINTR && !expired)
        req = rem;
}

// Sends one 120-byte message, waiting while the queue is full; 0 or -1.
int queue_send(int qid, long mtype, char code, const char *text) {
    mqueuebuf buf{};
    buf.mtype = mtype;
    buf.mtext[0] = code;
    copy_text(buf.mtext + 1, TEXT_MAX + 1, text_of(text, TEXT_MAX));
    for (;;) {
        if (msgsnd(qid, &buf, MSG_SIZE, 0) == 0) return 0;
        if (errno != EINTR || expired) return -1;
    }
}

// Writes all `n` bytes; the count, or -1.
long write_all(int fd, const char *buf, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t k = send(fd, buf + done, n - done, MSG_NOSIGNAL);
        if (k < 0) {
            if (errno == EINTR && !expired) continue;
            return -1;
        }
        done += static_cast<std::size_t>(k);
    }
    return static_cast<long>(done);
}

// Reads up to `n` bytes, stopping early only at the end of the stream; the
// count, or -1.
long read_all(int fd, char *buf, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t k = read(fd, buf + done, n - done);
        if (k == 0) break;
        if (k < 0) {
            if (errno == EINTR && !expired) continue;
            return -1;
        }
        done += static_cast<std::size_t>(k);
    }
    return static_cast<long>(done);
}

// Sends one frame: the length byte, the code and the text; the bytes sent, or -1.
int send_frame(int fd, char code, const char *text) {
    std::size_t len = std::strlen(text);
    if (len > TEXT_MAX) len = TEXT_MAX;
    char frame[MSG_SIZE + 1];
    frame[0] = static_cast<char>(len + 1);
    frame[1] = code;
    std::memcpy(frame + 2, text, len);
    long n = write_all(fd, frame, len + 2);
    return n < 0 ? -1 : static_cast<int>(n);
}

// One received frame.
struct Frame {
    int length = 0; // L
    char code = '\0';
    char text[256] = {};
};

// Reads one frame: 1, 0 when the peer closed the connection before it, -1 on
// an error or a frame without a code.
int read_frame(int fd, Frame &f) {
    unsigned char len = 0;
    long k = read_all(fd, reinterpret_cast<char *>(&len), 1);
    if (k <= 0) return static_cast<int>(k);
    char body[256];
    if (len == 0 || read_all(fd, body, len) != len) return -1;
    f.length = len;
    f.code = body[0];
    copy_text(f.text, sizeof f.text, text_of(body + 1, len - 1u));
    return 1;
}

void close_socket(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

} // namespace

// ---- Client half ------------------------------------------------------------

int MQ_open(int num) {
    int key = 0;
    if (type == 1) {
        close_socket(sock1);
        if (!window_key(num, 1, 65535, key)) {
            errno = EINVAL;
            return -1;
        }
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        MESS_print(M_DEBUG_D, "Opened socket\n");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(key));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            int err = errno;
            close(fd);
            errno = err;
            return -1;
        }
        MESS_print(M_DEBUG_D, "Connected to socket\n");
        sock1 = fd;
        return 1;
    }
    // Key 0 is IPC_PRIVATE, which would make a new queue instead of finding one.
    if (!window_key(num, INT_MIN, INT_MAX, key) || key == IPC_PRIVATE) {
        errno = ENOENT;
        return -1;
    }
    int id = msgget(static_cast<key_t>(key), 0);
    if (id < 0) return -1;
    msgqid = id;
    return id;
}

int MQ_connect(int msgqid) {
    MQ_clear(msgqid, static_cast<int>(CONNECT_TYPE));
    if (MQ_put(msgqid, -1, "%d", static_cast<int>(getuid())) < 0) return -1;
    char item[MSG_SIZE];
    if (MQ_get(msgqid, static_cast<int>(CONNECT_TYPE), item, sizeof item) != 2) return -1;
    char *end = nullptr;
    long id = std::strtol(item, &end, 10);
    if (end == item || id <= CONNECT_TYPE || id > MAX_CONN_ID) return -1;
    MQ_clear(msgqid, static_cast<int>(id));
    return static_cast<int>(id);
}

int MQ_put(int msgqid, int conn_id, const char *format, ...) {
    char code;
    if (!code_char(conn_id, code)) return -1;
    char text[TEXT_MAX + 1];
    va_list ap;
    va_start(ap, format);
    bool ok = format_text("MQ_put", text, format, ap);
    va_end(ap);
    if (!ok) return -1;

    int result;
    MQ_enable_alarm();
    if (type == 1) {
        result = sock1 < 0 ? -1 : send_frame(sock1, code, text);
        MESS_print(M_DEBUG_D, "Send: %d %d %d => %s\n", result, static_cast<int>(std::strlen(text)) + 1, code,
                   text);
    } else {
        MESS_print(M_DEBUG_D, "PUT:%d:%s\n", conn_id, text);
        result = queue_send(msgqid, REQUEST_TYPE, code, text);
    }
    bool late = expired;
    MQ_disable_alarm();
    if (result < 0 && late) time_out();
    return result;
}

int MQ_get(int msgqid, int conn_id, char *item, std::size_t size) {
    if (item && size) item[0] = '\0';
    if (type == 1) {
        if (sock1 < 0) return -1;
        Frame f;
        MQ_enable_alarm();
        int r = read_frame(sock1, f);
        bool late = expired;
        MQ_disable_alarm();
        if (r <= 0) {
            if (late) time_out();
            return -1;
        }
        copy_text(item, size, text_of(f.text, sizeof f.text));
        MESS_print(M_DEBUG_D, "Received: %d %d %d => %s\n", f.length + 1, f.length, f.code, f.text);
        return f.code - '0';
    }

    // Type 0 would take any message, the requests included.
    if (conn_id < 1) return -1;
    mqueuebuf buf;
    ssize_t r;
    MQ_enable_alarm();
    for (int polls = 1;; ++polls) {
        r = msgrcv(msgqid, &buf, MSG_SIZE, conn_id, IPC_NOWAIT | MSG_NOERROR);
        MESS_print(M_DEBUG_D, "GET-MSG:%d %d %d %d\n", msgqid, conn_id, polls, static_cast<int>(r));
        if (r >= 0 || (errno != ENOMSG && errno != EINTR)) break;
        if (expired) {
            time_out();
            return -1;
        }
        if (polls >= 2) pause_for(polls <= 200 ? 0.1 : 1.0);
    }
    MQ_disable_alarm();
    if (r <= 0) return -1;
    buf.mtext[r] = '\0';
    MESS_print(M_DEBUG_D, "GET:%s\n", buf.mtext);
    copy_text(item, size, text_of(buf.mtext + 1, MSG_SIZE));
    return buf.mtext[0] - '0';
}

int MQ_clear(int msgqid, int index) {
    if (type == 1) return 0;
    if (index < 1) return -1;
    mqueuebuf buf;
    while (msgrcv(msgqid, &buf, MSG_SIZE, index, IPC_NOWAIT | MSG_NOERROR) >= 0) {
    }
    return -1;
}

int MQ_find(int ind) {
    int found = -1;
    for (long long i = ind; i < static_cast<long long>(ind) + 50 && i <= INT_MAX; ++i) {
        errno = 0;
        if (MQ_open(static_cast<int>(i)) == -1 && (errno == ENOENT || errno == ECONNREFUSED)) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (type == 1) close_socket(sock1);
    return found;
}

// ---- Server half ------------------------------------------------------------

int MQ_create(int num) {
    if (num == -1) return -2;
    int key = 0;
    if (type == 1) {
        if (!window_key(num, 1, 65535, key)) return -1;
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // The link is a loopback link: clients connect to 127.0.0.1 only.
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(key));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int r = bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        MESS_print(M_DEBUG_D, "Socket bind on port: %d - %d\n", key, r);
        if (r == 0) {
            r = listen(fd, 100);
            MESS_print(M_DEBUG_D, "Socket listen...: %d\n", r);
        }
        if (r == 0) r = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (r != 0) {
            close(fd);
            return -1;
        }
        close_socket(sock2);
        close_socket(sock1);
        sock1 = fd;
        return 1;
    }
    if (!window_key(num, INT_MIN, INT_MAX, key) || key == IPC_PRIVATE) {
        errno = EINVAL;
        return -1;
    }
    return msgget(static_cast<key_t>(key), IPC_CREAT | IPC_EXCL | 0600);
}

int MQ_sget(int msgqid, int *conn_id, char *item, std::size_t size) {
    if (msgqid < 0) return -1;
    if (item && size) item[0] = '\0';
    Frame f;
    if (type == 1) {
        if (sock1 < 0) return -1;
        if (sock2 < 0) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            int fd = accept4(sock1, reinterpret_cast<sockaddr *>(&from), &len, SOCK_CLOEXEC);
            if (fd < 0) {
                // No client waiting is the usual case of a poll, not a failure.
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return -1;
                MESS_print(M_DEBUG_D, "Accept failed\n");
                std::perror("accept");
                return -1;
            }
            MESS_print(M_DEBUG_D, "Connection made from %X on port %d\n", ntohl(from.sin_addr.s_addr),
                       ntohs(from.sin_port));
            sock2 = fd;
        }
        pollfd p{sock2, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return -1;
        int r = read_frame(sock2, f);
        if (r == 0) {
            MESS_print(M_DEBUG_D, "Client disconnect\n");
            close_socket(sock2);
            return -1;
        }
        if (r < 0) return -1;
        MESS_print(M_DEBUG_D, "Received: %d %d %d => %s\n", f.length + 1, f.length, f.code, f.text);
    } else {
        if (conn_id) *conn_id = -1;
        mqueuebuf buf;
        ssize_t r = msgrcv(msgqid, &buf, MSG_SIZE, REQUEST_TYPE, IPC_NOWAIT | MSG_NOERROR);
        if (r <= 0) return static_cast<int>(r);
        buf.mtext[r] = '\0';
        MESS_print(M_DEBUG_D, "SGET:%s\n", buf.mtext);
        f.code = buf.mtext[0];
        copy_text(f.text, sizeof f.text, text_of(buf.mtext + 1, MSG_SIZE));
    }

    if (f.code == '/') {
        for (int slot = 1; slot <= MAX_SLOT; ++slot) {
            if (conn[slot]) continue;
            conn[0] = 1;
            MQ_sput(msgqid, 2, 2, "%d", slot + 2);
            conn[0] = 0;
            conn[slot] = 1;
            if (conn_id) *conn_id = slot + 2;
            break;
        }
        return 2;
    }
    if (conn_id) *conn_id = f.code - '0';
    copy_text(item, size, text_of(f.text, sizeof f.text));
    return 1;
}

int MQ_sput(int msgqid, int conn_id, int flag, const char *format, ...) {
    if (msgqid < 0 || conn_id < 2 || conn_id - 2 >= NUM_CONN || !conn[conn_id - 2]) return -1;
    char code;
    if (!code_char(flag, code)) return -1;
    if (flag < 0) conn[conn_id - 2] = 0;
    char text[TEXT_MAX + 1];
    va_list ap;
    va_start(ap, format);
    bool ok = format_text("MQ_sput", text, format, ap);
    va_end(ap);
    if (!ok) return -1;

    if (type == 1) {
        int n = sock2 < 0 ? -1 : send_frame(sock2, code, text);
        MESS_print(M_DEBUG_D, "Send: %d %d %d => %s\n", n, static_cast<int>(std::strlen(text)) + 1, code,
                   text);
        return n;
    }
    MESS_print(M_DEBUG_D, "SPUT:%d:%s:", conn_id, text);
    return queue_send(msgqid, conn_id, code, text);
}

int MQ_del(int msgqid) {
    if (type == 1) {
        close_socket(sock2);
        close_socket(sock1);
    } else if (msgqid >= 0) {
        msgctl(msgqid, IPC_RMID, nullptr);
    }
    return 0;
}

// ---- Settings and the alarm ----------------------------------------------------

int MQ_timeout(int val) {
    timeout = val;
    return 0;
}

int MQ_timeout_func(void (*func)(int)) {
    to_func = func;
    return 0;
}

int MQ_offset(int ind) {
    offset = ind;
    return 0;
}

int MQ_settype(int ind) {
    type = ind;
    return 0;
}

int MQ_params() {
    int n = 0;
    char **items = nullptr;
    RES_getvals("parameter", &n, &items);
    for (int i = 0; i < n; ++i) {
        const char *item = items[i];
        if (strnicmp(item, "to", 2) == 0) {
            // The number follows a separator: to=30 or to:30. An item without
            // a number leaves the time-out as it is.
            if (std::strlen(item) <= 3) continue;
            const char *num = item + 3;
            char *end = nullptr;
            long v = std::strtol(num, &end, 10);
            if (end != num && v >= 0) timeout = v > INT_MAX ? INT_MAX : static_cast<int>(v);
        } else if (stricmp(item, "qtype=sock") == 0) {
            type = 1;
        } else if (stricmp(item, "qtype=mqueue") == 0) {
            type = 0;
        }
    }
    free_parsed_array(n, items);
    return 0;
}

int MQ_enable_alarm() {
    struct sigaction sa {};
    sa.sa_handler = on_alarm;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: a blocked send or read returns when the alarm expires
    struct sigaction old {};
    sigaction(SIGALRM, &sa, &old);
    if (!top_saved && old.sa_handler != on_alarm) {
        top_func = old.sa_handler;
        top_saved = true;
    }
    expired = 0;
    alarm(timeout > 0 ? static_cast<unsigned>(timeout) : 0u);
    return 0;
}

int MQ_disable_alarm() {
    alarm(0);
    return 0;
}

void MQ_intrp(int) {
    MESS_print(M_WARN, "Queue not responding!!\n");
    ZEQ_exit(7);
}
