#!/usr/bin/python3
"""A stand-in loop window for the tests of the loop-window link.

Written independently of the program's own link module: the queue form uses
Python's sysv_ipc module (Debian python3-sysv-ipc), the socket form the
standard socket module. It creates the queue (key given) or listens on
127.0.0.1 (port given, 0 for a free one), prints "ready PORT PID" on standard
output, then serves one run of the resource protocol:

  request  code '/' + user id     -> answer type 2, code '2', text: the new id (3, 4, ...)
  "query res NAME"                -> NAME known: one line "VALUE\\n" with code '0' (with
                                     --bare: "VALUE" without the newline),
                                     then code '1' with an empty text;
                                     NAME unknown: "!NAME unknown\\n" with code '0', then code '1';
                                     NAME given with --down: code '-' alone
  "set res NAME VALUE"            -> NAME takes VALUE; code '1'
  "quit"                          -> code '1'; the peer ends once the answer was read

Every request is written to the log file as one line: its code character and
its text ("/1000", "3query res variable"); a queue message that is not exactly
120 bytes, or whose text is not zero-terminated, adds a line "BADSIZE n" or
"NOZERO". With --silent the peer reads nothing and answers nothing. The peer
ends by itself after --deadline seconds, and removes its queue whatever way it
ends (SIGTERM included).
"""
import argparse
import os
import signal
import socket
import sys
import time

MSG_SIZE = 120


def parse_args():
    p = argparse.ArgumentParser()
    where = p.add_mutually_exclusive_group(required=True)
    where.add_argument("--queue", type=int, help="message queue key")
    where.add_argument("--port", type=int, help="TCP port on 127.0.0.1 (0: any free one)")
    p.add_argument("--answer", action="append", default=[], metavar="NAME=VALUE")
    p.add_argument("--bare", action="append", default=[], metavar="NAME=VALUE",
                   help="answer without the newline that ends a line")
    p.add_argument("--down", action="append", default=[], metavar="NAME")
    p.add_argument("--log", default="/dev/null")
    p.add_argument("--silent", action="store_true")
    p.add_argument("--deadline", type=float, default=10.0)
    return p.parse_args()


class Protocol:
    def __init__(self, args, log):
        # name -> (value, end of the line)
        self.values = {}
        for items, end in ((args.answer, "\n"), (args.bare, "")):
            for a in items:
                name, value = a.split("=", 1)
                self.values[name] = (value, end)
        self.down = set(args.down)
        self.log = log
        self.next_id = 3

    def handle(self, code, text, send):
        """One request; send(type_or_id, code, text). True when it was "quit"."""
        self.log.write(code + text + "\n")
        self.log.flush()
        if code == "/":
            conn = self.next_id
            self.next_id += 1
            send(2, "2", str(conn))
            return False
        conn = ord(code) - ord("0")
        if text.startswith("query res "):
            name = text[len("query res "):]
            if name in self.down:
                send(conn, "-", "")
            elif name in self.values:
                send(conn, "0", self.values[name][0] + self.values[name][1])
                send(conn, "1", "")
            else:
                send(conn, "0", "!" + name + " unknown\n")
                send(conn, "1", "")
            return False
        if text.startswith("set res "):
            rest = text[len("set res "):]
            name, _, value = rest.partition(" ")
            self.values[name] = (value, "\n")
            send(conn, "1", "")
            return False
        send(conn, "1", "")
        return text == "quit"


def serve_queue(args, proto, end):
    try:
        import sysv_ipc
    except ImportError:
        sys.stderr.write("loop_peer: the Python module sysv_ipc is missing (Debian package python3-sysv-ipc)\n")
        sys.exit(3)
    mq = sysv_ipc.MessageQueue(args.queue, sysv_ipc.IPC_CREX, mode=0o600)
    try:
        print("ready 0 %d" % os.getpid(), flush=True)

        def send(mtype, code, text):
            body = (code + text).encode()
            mq.send(body + b"\0" * (MSG_SIZE - len(body)), block=True, type=mtype)

        while time.monotonic() < end:
            if args.silent:
                time.sleep(0.05)
                continue
            try:
                msg, _ = mq.receive(block=False, type=1)
            except sysv_ipc.BusyError:
                time.sleep(0.005)
                continue
            if len(msg) != MSG_SIZE:
                proto.log.write("BADSIZE %d\n" % len(msg))
            if b"\0" not in msg[1:]:
                proto.log.write("NOZERO\n")
            code = chr(msg[0])
            text = msg[1:].split(b"\0", 1)[0].decode("latin-1")
            if proto.handle(code, text, send):
                # Let the client read the last answer before the queue goes.
                while time.monotonic() < end and mq.current_messages > 0:
                    time.sleep(0.01)
                return
    finally:
        mq.remove()


def recv_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def serve_socket(args, proto, end):
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", args.port))
    srv.listen(1)
    print("ready %d %d" % (srv.getsockname()[1], os.getpid()), flush=True)
    srv.settimeout(max(0.1, end - time.monotonic()))
    conn, _ = srv.accept()
    conn.settimeout(max(0.1, end - time.monotonic()))

    def send(_, code, text):
        body = (code + text).encode()
        conn.sendall(bytes([len(body)]) + body)

    try:
        while time.monotonic() < end:
            if args.silent:
                time.sleep(0.05)
                continue
            head = recv_exact(conn, 1)
            if head is None:
                return
            body = recv_exact(conn, head[0])
            if body is None or len(body) == 0:
                proto.log.write("BADFRAME\n")
                return
            if proto.handle(chr(body[0]), body[1:].decode("latin-1"), send):
                return
    finally:
        conn.close()
        srv.close()


def main():
    args = parse_args()
    # SIGTERM ends the peer through the clean-up that removes its queue.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    end = time.monotonic() + args.deadline
    with open(args.log, "w") as log:
        proto = Protocol(args, log)
        try:
            if args.queue is not None:
                serve_queue(args, proto, end)
            else:
                serve_socket(args, proto, end)
        except socket.timeout:
            pass


if __name__ == "__main__":
    main()
