// The loop-window link: both halves over the message queue and the socket,
// checked against each other (the server half in a forked process) and against
// independent peers (Python's sysv_ipc and socket modules, socat).
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "runtime/mess.h"
#include "runtime/mqueue.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/loop_peer.h"

namespace {

using namespace std::chrono;
using zeqtest::lines_of;

// Queue keys of this test run, removed at the end whatever happened.
class Link : public testing::Test {
protected:
    void SetUp() override {
        base = zeqtest::queue_base();
        MQ_offset(base);
    }
    void TearDown() override { zeqtest::remove_queues(base); }

    // Socket mode with window `num` at a free port.
    void use_socket(int num) {
        int port = zeqtest::free_port();
        ASSERT_GT(port, num);
        MQ_settype(1);
        base = port - num;
        MQ_offset(base);
    }

    int base = 0;
};

struct RawMessage {
    long mtype;
    char mtext[200];
};

// One message of type `t` taken from the queue without waiting; its size or -1.
ssize_t take(int q, long t, RawMessage &m) {
    std::memset(&m, 0x7F, sizeof m);
    return msgrcv(q, &m, sizeof m.mtext, t, IPC_NOWAIT);
}

// A connect request from a client, handled by the server half in-process.
int connect_in_process(int q) {
    MQ_put(q, -1, "%d", 1000);
    int id = 0;
    char item[8];
    return MQ_sget(q, &id, item, sizeof item) == 2 ? id : -99;
}

// ---- Opening and finding windows -------------------------------------------------

TEST_F(Link, OpenTellsAMissingQueueApartAndFindSkipsTakenNumbers) {
    errno = 0;
    EXPECT_EQ(MQ_open(1), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(MQ_find(1), 1);

    int q = MQ_create(1);
    ASSERT_GE(q, 0);
    EXPECT_EQ(MQ_open(1), q);
    EXPECT_EQ(MQ_find(1), 2);
    EXPECT_EQ(MQ_create(1), -1) << "a window number is created once";
    EXPECT_EQ(MQ_create(-1), -2);

    struct msqid_ds ds {};
    ASSERT_EQ(msgctl(q, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.msg_perm.mode & 0777, 0600u);

    EXPECT_EQ(MQ_del(q), 0);
    EXPECT_FALSE(zeqtest::queue_exists(base + 1));
}

TEST_F(Link, KeyZeroNeverMakesAPrivateQueue) {
    // Private queues (key 0): tests running alongside make keyed queues only.
    auto count = [] {
        std::size_t n = 0;
        for (const std::string &line : lines_of(zeqtest::read_file("/proc/sysvipc/msg"))) {
            std::size_t i = line.find_first_not_of(' ');
            if (i != std::string::npos && line.compare(i, 2, "0 ") == 0) ++n;
        }
        return n;
    };
    std::size_t before = count();
    MQ_offset(0);
    errno = 0;
    EXPECT_EQ(MQ_open(0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(MQ_create(0), -1);
    EXPECT_EQ(count(), before);
}

TEST_F(Link, SocketOpenFailsWithConnectionRefusedWhenNoWindowListens) {
    use_socket(5);
    errno = 0;
    EXPECT_EQ(MQ_open(5), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_EQ(MQ_find(5), 5);
}

// ---- Server half: connection slots ----------------------------------------------

TEST_F(Link, ServerGivesNineteenSlotsAndFreesThemOnANegativeStatus) {
    int q = MQ_create(1);
    ASSERT_GE(q, 0);
    int id = 0;
    char item[32] = "x";
    EXPECT_EQ(MQ_sget(q, &id, item, sizeof item), -1) << "nothing waiting";

    // The first client gets id 3 with the answer '2' '3' of type 2.
    ASSERT_EQ(MQ_put(q, -1, "%d", 1234), 0);
    RawMessage m;
    ASSERT_EQ(take(q, 1, m), 120);
    EXPECT_STREQ(m.mtext, "/1234");
    ASSERT_EQ(MQ_put(q, -1, "%d", 1234), 0);
    EXPECT_EQ(MQ_sget(q, &id, item, sizeof item), 2);
    EXPECT_EQ(id, 3);
    EXPECT_STREQ(item, "");
    ASSERT_EQ(take(q, 2, m), 120);
    EXPECT_STREQ(m.mtext, "23");

    for (int want = 4; want <= 21; ++want)
        EXPECT_EQ(connect_in_process(q), want);
    // All slots taken: no answer, id -1.
    MQ_put(q, -1, "%d", 1);
    EXPECT_EQ(MQ_sget(q, &id, item, sizeof item), 2);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(MQ_clear(q, 2), -1);
    EXPECT_EQ(take(q, 2, m), -1) << "clear removed every answer of type 2";

    // A request from connection 10 carries the code ':'.
    ASSERT_EQ(MQ_put(q, 10, "quit"), 0);
    EXPECT_EQ(MQ_sget(q, &id, item, sizeof item), 1);
    EXPECT_EQ(id, 10);
    EXPECT_STREQ(item, "quit");

    // A negative status ends the connection with its answer.
    EXPECT_EQ(MQ_sput(q, 3, -1, "bye"), 0);
    ASSERT_EQ(take(q, 3, m), 120);
    EXPECT_STREQ(m.mtext, "/bye");
    EXPECT_EQ(MQ_sput(q, 3, 1, "late"), -1);
    EXPECT_EQ(take(q, 3, m), -1) << "nothing sent to a freed slot";
    EXPECT_EQ(connect_in_process(q), 3) << "the freed slot is given again";

    for (int bad : {-1, 0, 1, 2, 22, 26, 1000})
        EXPECT_EQ(MQ_sput(q, bad, 1, "x"), -1) << bad;
    EXPECT_EQ(MQ_sput(-1, 4, 1, "x"), -1);
}

// ---- Bounds of the 120-byte message ------------------------------------------------

TEST_F(Link, LongTextsAreCutToOneMessageWithAWarning) {
    int q = MQ_create(1);
    ASSERT_GE(q, 0);
    const std::string value(300, 'v');

    testing::internal::CaptureStderr();
    ASSERT_EQ(MQ_put(q, 3, "set res title %s", value.c_str()), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "MQ_put: Message of 314 characters cut to 118\n");
    RawMessage m;
    ASSERT_EQ(take(q, 1, m), 120);
    EXPECT_EQ(m.mtext[0], '3');
    EXPECT_EQ(std::string(m.mtext + 1), "set res title " + value.substr(0, 118 - 14));
    EXPECT_EQ(m.mtext[119], '\0');
    EXPECT_EQ(m.mtext[120], 0x7F) << "nothing beyond the 120 bytes";

    // The server's answers are bounded the same way, and the client copies
    // no more than its buffer holds.
    ASSERT_EQ(connect_in_process(q), 3);
    MQ_clear(q, 2);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MQ_sput(q, 3, 0, "%s", value.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MQ_sput: Message of 300 characters cut to 118\n");
    char small[8];
    EXPECT_EQ(MQ_get(q, 3, small, sizeof small), 0);
    EXPECT_STREQ(small, "vvvvvvv");
}

// ---- Client and server halves together ------------------------------------------

// Serves one client with the module's server half until it says "quit":
// "query res variable" is answered with the line "temp" and an end.
int serve_one_client(int q) {
    auto end = steady_clock::now() + seconds(8);
    while (steady_clock::now() < end) {
        int id = 0;
        char item[128];
        int r = MQ_sget(q, &id, item, sizeof item);
        if (r != 1) {
            usleep(2000);
            continue;
        }
        if (std::strcmp(item, "query res variable") == 0) {
            MQ_sput(q, id, 0, "temp\n");
            MQ_sput(q, id, 1, "%s", "");
        } else if (std::strcmp(item, "quit") == 0) {
            MQ_sput(q, id, -1, "%s", "");
            return 0;
        } else {
            MQ_sput(q, id, 5, "what?");
        }
    }
    return 9;
}

class Transport : public Link, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        Link::SetUp();
        if (GetParam() == 1) use_socket(1);
    }
};

TEST_P(Transport, ClientTalksToTheServerHalfInAnotherProcess) {
    int q = MQ_create(1);
    ASSERT_GE(q, 0);
    std::fflush(nullptr);
    pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) _exit(serve_one_client(q));

    int c = MQ_open(1);
    ASSERT_EQ(c, GetParam() == 1 ? 1 : q);
    int id = MQ_connect(c);
    EXPECT_EQ(id, 3);
    EXPECT_GE(MQ_put(c, id, "query res %s", "variable"), 0);
    char item[128];
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 0);
    EXPECT_STREQ(item, "temp\n");
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 1);
    EXPECT_STREQ(item, "");
    EXPECT_GE(MQ_put(c, id, "hello"), 0);
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 5);
    EXPECT_STREQ(item, "what?");
    EXPECT_GE(MQ_put(c, id, "quit"), 0);
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), -1) << "the answer to quit carries status -1";

    int status = -1;
    waitpid(server, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    MQ_del(q);
}

TEST_P(Transport, ClientFollowsTheIndependentPeer) {
    zeqtest::TempDir dir;
    zeqtest::LoopPeer peer;
    std::string where = GetParam() == 1 ? "--port 0" : "--queue " + std::to_string(base + 1);
    std::string why = peer.start(where + " --answer variable=temp --down region --log " + dir.file("log"));
    ASSERT_EQ(why, "");
    if (GetParam() == 1) {
        MQ_settype(1);
        MQ_offset(peer.port() - 1);
    }

    int c = MQ_open(1);
    ASSERT_NE(c, -1);
    int id = MQ_connect(c);
    ASSERT_EQ(id, 3);
    char item[128];
    EXPECT_GE(MQ_put(c, id, "query res variable"), 0);
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 0);
    EXPECT_STREQ(item, "temp\n");
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 1);
    EXPECT_GE(MQ_put(c, id, "query res region"), 0);
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), -3) << "'-': the loop is not running";
    EXPECT_GE(MQ_put(c, id, "quit"), 0);
    EXPECT_EQ(MQ_get(c, id, item, sizeof item), 1);
    peer.wait();

    std::string log = zeqtest::read_file(dir.file("log"));
    EXPECT_EQ(log, "/" + std::to_string(getuid()) + "\n3query res variable\n3query res region\n3quit\n");
}

INSTANTIATE_TEST_SUITE_P(Link, Transport, testing::Values(0, 1),
                         [](const auto &info) { return info.param == 1 ? "Socket" : "Queue"; });

// ---- Socket frames as an independent listener receives them -------------------

TEST_F(Link, SocketFramesAreALengthByteAndTheCodedText) {
    zeqtest::TempDir dir;
    use_socket(1);
    zeqtest::SocatSink sink;
    ASSERT_EQ(sink.start(base + 1, dir.file("frames")), "");
    ASSERT_TRUE(zeqtest::wait_listening(base + 1)) << "socat did not listen";

    ASSERT_EQ(MQ_open(1), 1);
    EXPECT_EQ(MQ_put(1, 3, "quit"), 6);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MQ_put(1, 3, "%s", std::string(200, 'a').c_str()), 120);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MQ_put: Message of 200 characters cut to 118\n");
    EXPECT_EQ(MQ_put(1, -1, "%d", 77), 4);
    MQ_del(1); // closes the client socket: socat ends
    ASSERT_TRUE(sink.wait());

    std::string want = std::string("\x05") + "3quit" + "\x77" + "3" + std::string(118, 'a') + "\x03" + "/77";
    EXPECT_EQ(zeqtest::read_file(dir.file("frames")), want);
}

// ---- Time-out --------------------------------------------------------------------

// A client of a window that never answers, with the time-out taken from the
// resource "parameter"; the status it ends with and how long it took.
struct Ended {
    zeqtest::ChildResult child;
    double seconds;
};

Ended wait_on_silent_window(const char *parameter) {
    auto start = steady_clock::now();
    Ended e{zeqtest::run_child([parameter] {
                RES_put("parameter", parameter);
                MQ_params();
                int c = MQ_open(1);
                if (c == -1) return 20;
                MQ_connect(c);
                return 21;
            }),
            0.0};
    e.seconds = duration<double>(steady_clock::now() - start).count();
    return e;
}

TEST_F(Link, SilentQueueEndsTheClientWithStatus7) {
    ASSERT_GE(MQ_create(1), 0);
    Ended e = wait_on_silent_window("grdfmt=%6.1f,TO=1");
    EXPECT_EQ(e.child.status, 7);
    EXPECT_EQ(e.child.err, "Queue not responding!!\n");
    EXPECT_GT(e.seconds, 0.8);
    EXPECT_LT(e.seconds, 10.0); // far below the 20 s default, with room for a loaded machine
}

TEST_F(Link, SilentSocketEndsTheClientWithStatus7) {
    zeqtest::TempDir dir;
    use_socket(1);
    MQ_settype(0); // the transport comes from the resource
    zeqtest::SocatSink sink;
    ASSERT_EQ(sink.start(base + 1, dir.file("frames")), "");
    ASSERT_TRUE(zeqtest::wait_listening(base + 1));
    Ended e = wait_on_silent_window("to=1,qtype=SOCK");
    EXPECT_EQ(e.child.status, 7);
    EXPECT_EQ(e.child.err, "Queue not responding!!\n");
    EXPECT_GT(e.seconds, 0.8);
    EXPECT_LT(e.seconds, 10.0); // far below the 20 s default, with room for a loaded machine
    ASSERT_TRUE(sink.wait());
    // What the silent window got: the connect request and nothing else.
    std::string request = "/" + std::to_string(getuid());
    EXPECT_EQ(zeqtest::read_file(dir.file("frames")), static_cast<char>(request.size()) + request);
}

int timeouts = 0;
void count_timeout(int sig) {
    if (sig == SIGALRM) ++timeouts;
}

TEST_F(Link, ATimeOutFunctionThatReturnsFailsTheWait) {
    int q = MQ_create(1);
    ASSERT_GE(q, 0);
    MQ_timeout(1);
    MQ_timeout_func(count_timeout);
    char item[16] = "old";
    auto start = steady_clock::now();
    EXPECT_EQ(MQ_get(q, 3, item, sizeof item), -1);
    double secs = duration<double>(steady_clock::now() - start).count();
    EXPECT_EQ(timeouts, 1);
    EXPECT_STREQ(item, "");
    EXPECT_GT(secs, 0.8);
    EXPECT_LT(secs, 10.0); // far below the 20 s default, with room for a loaded machine
    EXPECT_EQ(alarm(0), 0u) << "no alarm left running";
}

} // namespace
