"""The console's commands, its prompt and its script runner."""

import argparse
import os
import signal
import subprocess
import sys
import threading
import time

from . import bridge, channels, values
from .values import format_value

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_EXE = os.path.join(ROOT, "build", "win64", "bin", "kestrune_flutter.exe")
HISTORY = os.path.expanduser("~/.kestrune_console_history")
COMMANDS = ["help", "wait", "expect", "screenshot", "quit"]
QUIT_SECONDS = 30

HELP = """\
calls     [capsule:]CHANNEL.METHOD [ARGUMENTS]      (to the main role unless capsule:)
          window.setWindowOpacity opacity=80
          hotkey.reRegisterHotkey id=1 combo="ctrl+k"
          icon.extractFileIcons ["C:\\\\windows\\\\notepad.exe"]
          kr_embedder/introspect.echo {"a": [1, 2.5, true]}
values    80  i64:80  0.5  f64:80  true  null  "text"  word  [..]  {k: v}  u8:[..] i32:[..]
          i64:[..] f64:[..] f32:[..]
wait EVENT [SECONDS]      waits (10 s) for an event not waited for yet: system.snapshot,
                          capsule:hotkey.toggle_capsule, ...
expect ok [VALUE] | expect error [CODE] | expect not implemented | expect args VALUE
                          compares the last reply (or the waited event's arguments)
screenshot FILE           saves the host's display to a PNG
help CHANNEL              that channel's methods and events
quit                      ends the host and waits for both processes"""


def human(count, unit):
    for prefix in ("", "Ki", "Mi", "Gi", "Ti"):
        if abs(count) < 1024 or prefix == "Ti":
            return f"{count:.0f} {prefix}{unit}" if not prefix else f"{count:.1f} {prefix}{unit}"
        count /= 1024
    return ""


def snapshot_line(snapshot):
    """A system snapshot on one line; None when it does not look like one."""
    try:
        cpu, memory, network = snapshot["cpu"], snapshot["memory"], snapshot["network"]
        disks = ", ".join(
            f"{d['mount']} {100 * d['used_bytes'] / max(d['total_bytes'], 1):.0f}% of "
            f"{human(d['total_bytes'], 'B')}" for d in snapshot.get("disks", []))
        return (f"cpu {cpu['percent']:.1f}% ({cpu['cores']} cores) | "
                f"memory {memory['percent']:.0f}% of {human(memory['total_bytes'], 'B')} | "
                f"net up {human(network['upload_bytes_per_sec'], 'B/s')} "
                f"down {human(network['download_bytes_per_sec'], 'B/s')} | "
                f"disks {disks or 'none'}")
    except (KeyError, TypeError, ValueError, AttributeError):
        return None


def show(value):
    return snapshot_line(value) or format_value(value)


def format_reply(reply):
    if reply.kind == "ok":
        return "ok " + show(reply.value)
    if reply.kind == "error":
        details = "" if reply.value is None else " " + format_value(reply.value)
        return f"error {reply.code}: {reply.message}{details}"
    if reply.kind == "not implemented":
        return "not implemented"
    return f"no answer ({reply.message})"


class Output:
    """Lines from any thread; at the prompt they print above the line being typed."""

    def __init__(self, readline=None):
        self.lock = threading.Lock()
        self.readline = readline
        self.prompt = None  # set while the prompt waits for input

    def line(self, text):
        with self.lock:
            if self.readline and self.prompt is not None:
                typed = self.readline.get_line_buffer()
                sys.stdout.write(f"\r\033[K{text}\n{self.prompt}{typed}")
            else:
                sys.stdout.write(text + "\n")
            sys.stdout.flush()


class Console:
    def __init__(self, out, options):
        self.out = out
        self.options = options
        self.started = time.monotonic()
        self.changed = threading.Condition()
        self.connections = {}  # role -> Connection
        self.events = []  # [seconds, role, channel, method, arguments, waited for]
        self.last = None  # ("reply", Reply) or ("event", event)
        self.failures = 0
        self.host = None
        self.interrupt_on_end = False

    # -- Bridge callbacks (reader threads) ---------------------------------
    def stamp(self, role):
        return f"[{time.monotonic() - self.started:8.3f}] {role:<7}"

    def connected(self, connection):
        with self.changed:
            self.connections[connection.role] = connection
            self.changed.notify_all()
        self.out.line(f"{self.stamp(connection.role)} connected (pid {connection.pid})")

    def event(self, connection, channel, method, arguments):
        with self.changed:
            self.events.append([time.monotonic() - self.started, connection.role, channel,
                                method, arguments, False])
            self.changed.notify_all()
        self.out.line(f"{self.stamp(connection.role)} {channels.describe(channel):<14} "
                      f"{method}  {show(arguments)}")

    def closed(self, connection, reason):
        with self.changed:
            self.changed.notify_all()
        self.out.line(f"{self.stamp(connection.role)} disconnected ({reason})")

    # -- The host process --------------------------------------------------
    def start_host(self, setting):
        options = self.options
        if options.wine_session:
            runner = [os.path.join(ROOT, "tools", "wine-run"), options.wine_session]
        else:
            runner = ["wine"]
        environment = dict(os.environ, KR_UI_BRIDGE=setting)
        # Its own session: Ctrl+C at the prompt is the console's, not the host's.
        self.host = subprocess.Popen(runner + [options.exe] + options.host_args,
                                     cwd=os.path.dirname(options.exe), env=environment,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        threading.Thread(target=self._watch_host, daemon=True).start()

    def _watch_host(self):
        status = self.host.wait()
        with self.changed:
            self.changed.notify_all()
        self.out.line(f"{self.stamp('host')} exited with status {status}")
        if self.interrupt_on_end and self.out.prompt is not None:
            os.kill(os.getpid(), signal.SIGINT)  # ends the prompt's wait for input

    def host_running(self):
        return self.host is not None and self.host.poll() is None

    def all_gone(self):
        connections = list(self.connections.values())  # reader threads may add one
        return not self.host_running() and all(c.closed for c in connections)

    def wait_connected(self, roles, seconds):
        with self.changed:
            return self.changed.wait_for(
                lambda: all(r in self.connections for r in roles) or not self.host_running(),
                seconds) and all(r in self.connections for r in roles)

    # -- Commands ----------------------------------------------------------
    def problem(self, text, where):
        """A failed line: in a script it makes the exit status non-zero."""
        if where:
            self.failures += 1
            text = f"{where}: {text}"
        self.out.line(f"  ! {text}")

    def execute(self, line, where=None):
        """Runs one line; False once it asked to quit."""
        line = line.strip()
        if not line or line.startswith("#"):
            return True
        word, _, rest = line.partition(" ")
        rest = rest.strip()
        if word in ("quit", "exit"):
            return False
        if word == "help":
            self.help(rest)
        elif word == "wait":
            self.wait(rest, where)
        elif word == "expect":
            self.expect(rest, where)
        elif word == "screenshot":
            self.screenshot(rest, where)
        else:
            self.call(word, rest, where)
        return True

    def help(self, name):
        if name not in channels.CHANNELS:
            self.out.line(HELP + "\nchannels  " + " ".join(channels.CHANNELS))
            return
        full, methods, events = channels.CHANNELS[name]
        self.out.line(f"{name} ({full})")
        for method, arguments in methods.items():
            self.out.line(f"  {name}.{method} " + " ".join(a + "=" for a in arguments))
        if events:
            self.out.line("  events: " + " ".join(events))

    def connection(self, role):
        if role is None:  # the main role, or the capsule role when it runs alone
            role = "main" if "main" in self.connections else "capsule"
        connection = self.connections.get(role)
        return connection if connection and not connection.closed else None

    def call(self, target, text, where):
        role, channel, method = channels.split_target(target)
        if channel is None or not method:
            self.problem(f"unknown command or channel in {target!r} (try help)", where)
            return
        try:
            arguments = values.parse_arguments(text)
        except values.TextError as error:
            self.problem(str(error), where)
            return
        connection = self.connection(role)
        if connection is None:
            self.problem(f"no {role or 'main'} role connected", where)
            return
        reply = connection.call(channel, method, arguments, self.options.reply_timeout)
        self.last = ("reply", reply)
        if reply.kind == "no answer":
            self.problem(format_reply(reply), where)
        else:
            self.out.line("  " + format_reply(reply))

    def wait(self, text, where):
        parts = text.split()
        try:
            seconds = float(parts[1]) if len(parts) > 1 else 10.0
        except ValueError:
            parts = []
        if not parts or len(parts) > 2:
            self.problem("usage: wait EVENT [SECONDS]", where)
            return
        role, channel, method = channels.split_target(parts[0])

        def take():
            for event in self.events:
                if (not event[5] and event[3] == method and role in (None, event[1])
                        and channel in (None, event[2])):
                    event[5] = True
                    return event
            return None

        with self.changed:
            event = self.changed.wait_for(take, seconds)
        if event is None:
            self.problem(f"no {parts[0]} within {seconds:g} s", where)
            self.last = None
        else:
            self.last = ("event", event)

    def expect(self, text, where):
        kind = "not implemented" if text.startswith("not implemented") else text.split(" ")[0]
        wanted = text[len(kind):].strip()
        if kind not in ("ok", "error", "not implemented", "args"):
            self.problem("usage: expect ok [VALUE] | error [CODE] | not implemented | "
                         "args VALUE", where)
            return
        if self.last is None:
            self.problem(f"expect {text}: nothing to compare", where)
            return
        what, got = self.last
        try:
            if kind == "args":
                matches = what == "event" and values.same(values.parse_value(wanted), got[4])
                shown = f"event {got[3]} {format_value(got[4])}" if what == "event" else \
                    format_reply(got)
            else:
                matches = what == "reply" and got.kind == kind and (
                    not wanted or (values.same(values.parse_value(wanted), got.value)
                                   if kind == "ok" else got.code == wanted))
                shown = format_reply(got) if what == "reply" else f"event {got[3]}"
        except values.TextError as error:
            self.problem(str(error), where)
            return
        if not matches:
            self.problem(f"expected {text}, got {shown}", where)

    def screenshot(self, path, where):
        display = os.environ.get("DISPLAY", "")
        session_display = os.path.join(self.options.wine_session or "", "display")
        if self.options.wine_session and os.path.exists(session_display):
            display = open(session_display).read().strip()
        if not path:
            self.problem("usage: screenshot FILE", where)
            return
        done = subprocess.run(["import", "-display", display, "-window", "root", path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            self.problem(f"screenshot failed: {done.stderr.strip()}", where)
        else:
            self.out.line(f"  saved {os.path.abspath(path)}")

    def quit(self, where=None):
        """Closes the main window as the tray's quit does, then waits for every process."""
        connection = self.connection(None)
        if connection is not None:
            reply = connection.call(channels.INTROSPECT, "quit", None, self.options.reply_timeout)
            self.out.line(f"  quit: {format_reply(reply)}")
            if reply.kind != "ok":
                self.problem("the host refused to quit", where)
        with self.changed:
            gone = self.changed.wait_for(self.all_gone, QUIT_SECONDS)
        if not gone:
            left = [r for r, c in self.connections.items() if not c.closed]
            left += ["host process"] if self.host_running() else []
            self.problem(f"still running after {QUIT_SECONDS} s: {', '.join(left)}", where)
            self.stop_host()

    def stop_host(self):
        if self.host_running():
            os.killpg(self.host.pid, signal.SIGTERM)  # the group of the runner we started
            try:
                self.host.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.host.pid, signal.SIGKILL)


def run_script(console, path):
    try:
        with open(path, encoding="utf-8") as script:
            run_lines(console, script.read().splitlines(), os.path.basename(path))
    except OSError as error:
        console.problem(str(error), path)


def run_lines(console, lines, name):
    for number, line in enumerate(lines, 1):
        if line.strip() and not line.lstrip().startswith("#"):
            console.out.line(f"> {line.strip()}")
        if not console.execute(line, f"{name}:{number}"):
            break


def run_prompt(console, readline):
    def complete(text, state):
        line = readline.get_line_buffer()
        if readline.get_begidx() == 0:
            options = channels.completions(text) + [c for c in COMMANDS if c.startswith(text)]
        else:
            first = line.split()[0]
            if first == "wait":
                options = channels.event_names()
            elif first == "help":
                options = list(channels.CHANNELS)
            elif first == "expect":
                options = ["ok", "error", "not implemented", "args"]
            else:
                options = [a + "=" for a in channels.argument_names(first)]
            options = [o for o in options if o.startswith(text)]
        return options[state] if state < len(options) else None

    readline.set_completer(complete)
    readline.set_completer_delims(" \t")
    readline.parse_and_bind("tab: complete")
    try:
        readline.read_history_file(HISTORY)
    except OSError:
        pass
    console.out.line("Tab completes channels and methods; help lists the commands. To begin:\n"
                     "  window.showFromIdle                               summons the card\n"
                     "  window.setWindowBounds x=200 y=150 w=600 h=400    moves and sizes it\n"
                     "  window.setWindowOpacity opacity=60                fades it\n"
                     "  system_monitor.startSystemMonitor                 a snapshot a second\n"
                     "  quit                                              ends the host")
    console.interrupt_on_end = True
    prompt = "kestrune> "
    while not console.all_gone():
        console.out.prompt = prompt
        try:
            line = input(prompt)
        except EOFError:
            console.out.prompt = None
            console.out.line("")
            break
        except KeyboardInterrupt:
            console.out.prompt = None
            console.out.line("")
            continue
        console.out.prompt = None
        try:
            if not console.execute(line):
                break
        except KeyboardInterrupt:  # a long wait or call, cut short
            console.out.line("  interrupted")
    console.interrupt_on_end = False
    try:
        readline.write_history_file(HISTORY)
    except OSError:
        pass


def main(argv):
    parser = argparse.ArgumentParser(
        prog="tools/console",
        description="Starts the host with this console as its interface, over the UI bridge. "
        "A script holds what the prompt takes, a line each (calls, wait, expect, quit; # "
        "comments); a failed expect, wait or call makes the exit status 1.")
    parser.add_argument("--script", metavar="FILE",
                        help="run the lines of FILE (or of a piped stdin) instead of prompting")
    parser.add_argument("--exe", default=DEFAULT_EXE, help="the host executable")
    parser.add_argument("--wine-session", metavar="DIR",
                        help="start the host through tools/wine-run in this session")
    parser.add_argument("--connect-timeout", type=float, default=60.0, metavar="SECONDS")
    parser.add_argument("--reply-timeout", type=float, default=10.0, metavar="SECONDS")
    parser.add_argument("host_args", nargs="*", help="arguments for the host (after --)")
    options = parser.parse_args(argv)
    options.exe = os.path.abspath(options.exe)
    if not os.path.isfile(options.exe):
        print(f"console: {options.exe} does not exist; tools/run.sh builds it", file=sys.stderr)
        return 2

    readline = None
    if not options.script and sys.stdin.isatty():
        import readline  # only the prompt needs it
    console = Console(Output(readline), options)
    server = bridge.Server(console.connected, console.event, console.closed)
    console.start_host(server.setting)
    console.out.line(f"console: UI bridge on 127.0.0.1:{server.port}; "
                     f"starting {os.path.basename(options.exe)}")

    # A host started as the capsule runs that role alone.
    roles = ["capsule"] if os.environ.get("KESTRUNE_CAPSULE") else ["main", "capsule"]
    if not console.wait_connected(roles[:1], options.connect_timeout):
        console.problem(f"the host did not connect within {options.connect_timeout:g} s", "start")
        console.stop_host()
        return 2
    if options.script or not readline:
        if not console.wait_connected(roles, options.connect_timeout):
            console.problem("not every role connected: " + " ".join(roles), "start")
        if options.script:
            run_script(console, options.script)
        else:  # lines piped in are a script too
            run_lines(console, sys.stdin.read().splitlines(), "stdin")
    else:
        run_prompt(console, readline)
    try:
        console.quit("quit")
    except KeyboardInterrupt:
        console.problem("quit interrupted; host stopped", "quit")
        console.stop_host()
    server.close()
    return 1 if console.failures else 0
