#!/usr/bin/env python3
"""The far end of the Windows test programs' COM ports (Linux side).

scripts/test-windows.sh maps COM20..COM27 of a private Wine prefix to
<ports-dir>/comN, symbolic links this hub points at pseudo-terminal slaves.
A Windows test connects over TCP (127.0.0.1, port in TREVALON_PTY_HUB) and
plays the device's far end with one-line commands:

  PLUG n            a fresh pty behind COMn (the old one is unplugged)
  WRITE n HEX       bytes the port will receive
  READ n COUNT MS   up to COUNT bytes the port sent, waiting up to MS ms
  INQ n             bytes waiting in the device's input queue (not yet read)
  LINE n            line settings the port gave the device:
                    "LINE baud csize parenb parodd cmspar cstopb crtscts ixon ixoff"
  UNPLUG n          closes the far end: the port sees a hang-up
  FLOOD n COUNT     sends COUNT bytes in the background, in small pieces

Each reply is one line: OK, DATA HEX, a number, LINE ..., or ERR text.
"""
import os
import pty
import select
import socket
import sys
import termios
import threading
import time

SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith('B') and name[1:].isdigit()}


class TDevice:
    def __init__(self, link):
        self.closed = False
        # Held around every background write and the closing: a flood never
        # writes to a descriptor number a newer device has been given.
        self.io_lock = threading.Lock()
        self.master, self.slave = pty.openpty()
        tmp = link + '.new'
        if os.path.lexists(tmp):
            os.unlink(tmp)
        os.symlink(os.ttyname(self.slave), tmp)
        os.replace(tmp, link)
        # Raw far end: bytes go through untouched.
        attrs = termios.tcgetattr(self.master)
        attrs[0] = attrs[1] = attrs[3] = 0
        termios.tcsetattr(self.master, termios.TCSANOW, attrs)

    def close(self):
        with self.io_lock:
            self.closed = True  # a flood still running stops before the fd is reused
            self._close_fds()

    def _close_fds(self):
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)
        self.master = self.slave = None


class THub:
    def __init__(self, ports_dir, numbers):
        self.ports_dir = ports_dir
        self.devices = {}
        self.lock = threading.Lock()
        for n in numbers:
            self.plug(n)

    def link(self, n):
        return os.path.join(self.ports_dir, 'com%d' % n)

    def plug(self, n):
        with self.lock:
            old = self.devices.pop(n, None)
            if old:
                old.close()
            self.devices[n] = TDevice(self.link(n))

    def device(self, n):
        d = self.devices.get(n)
        if d is None or d.master is None:
            raise RuntimeError('COM%d is unplugged' % n)
        return d

    def command(self, words):
        op, n = words[0], int(words[1])
        if op == 'PLUG':
            self.plug(n)
            return 'OK'
        if op == 'UNPLUG':
            self.device(n).close()
            return 'OK'
        d = self.device(n)
        if op == 'WRITE':
            data = bytes.fromhex(words[2]) if len(words) > 2 else b''
            deadline = time.monotonic() + 5
            while data:
                _, w, _ = select.select([], [d.master], [], max(0, deadline - time.monotonic()))
                if not w:
                    return 'ERR write timed out'
                data = data[os.write(d.master, data):]
            return 'OK'
        if op == 'READ':
            count, ms = int(words[2]), int(words[3])
            deadline = time.monotonic() + ms / 1000.0
            got = b''
            while len(got) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                r, _, _ = select.select([d.master], [], [], left)
                if r:
                    got += os.read(d.master, count - len(got))
            return 'DATA ' + got.hex()
        if op == 'FLOOD':
            count, master = int(words[2]), d.master

            def flood():
                sent = 0
                try:
                    while sent < count:
                        piece = bytes((sent + i) & 0x7F for i in range(min(64, count - sent)))
                        with d.io_lock:
                            if d.closed:
                                break
                            if not select.select([], [master], [], 0.1)[1]:
                                continue
                            sent += os.write(master, piece)
                except OSError:
                    pass  # unplugged meanwhile

            threading.Thread(target=flood, daemon=True).start()
            return 'OK'
        if op == 'INQ':
            import fcntl, struct
            buf = fcntl.ioctl(d.slave, termios.FIONREAD, b'\0\0\0\0')
            return str(struct.unpack('i', buf)[0])
        if op == 'LINE':
            iflag, oflag, cflag, lflag, ispeed, ospeed, cc = termios.tcgetattr(d.master)
            size = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
            cmspar = getattr(termios, 'CMSPAR', 0o10000000000)
            bits = [cflag & termios.PARENB, cflag & termios.PARODD, cflag & cmspar,
                    cflag & termios.CSTOPB, cflag & termios.CRTSCTS,
                    iflag & termios.IXON, iflag & termios.IXOFF]
            return 'LINE %d %d %s' % (SPEEDS.get(ospeed, 0), size, ' '.join('1' if b else '0' for b in bits))
        return 'ERR unknown command'


def serve(hub, conn):
    with conn, conn.makefile('rwb', buffering=0) as stream:
        for line in stream:
            words = line.decode().split()
            if not words:
                continue
            try:
                reply = hub.command(words)
            except Exception as e:  # the test sees the reason
                reply = 'ERR %s' % e
            stream.write((reply + '\n').encode())


def main():
    ports_dir, first, last, port_file = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    hub = THub(ports_dir, range(first, last + 1))
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(('127.0.0.1', 0))
    server.listen(16)
    with open(port_file + '.tmp', 'w') as f:
        f.write(str(server.getsockname()[1]))
    os.replace(port_file + '.tmp', port_file)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(hub, conn), daemon=True).start()


if __name__ == '__main__':
    main()
