"""How far a long step of the benchmark has come, on stderr: the tool, what it has
done of the total and the time left, estimated from the rate so far.

On a terminal one line is rewritten in place, at most four times a second; into
a file or a pipe a plain line goes out every ten seconds at most, and one when
the step ends, so logs stay short."""
import sys
import time

TERMINAL_INTERVAL = 0.25
PLAIN_INTERVAL = 10.0

_line_open = [False]  # a carriage-return line is on the terminal: other output starts a new line first


def end_line():
    """Ends a progress line left open on the terminal, so the next output starts on a line of its own."""
    if _line_open[0]:
        sys.stderr.write("\n")
        sys.stderr.flush()
        _line_open[0] = False


def duration(seconds):
    seconds = int(round(seconds))
    if seconds >= 3600:
        return f"{seconds // 3600}h{seconds % 3600 // 60:02d}m"
    if seconds >= 60:
        return f"{seconds // 60}m{seconds % 60:02d}s"
    return f"{seconds}s"


class Progress:
    """One step's progress: update(done) as it goes, finish() when it ends."""

    def __init__(self, tool, total, unit="files"):
        self.tool, self.total, self.unit = tool, total, unit
        self.terminal = sys.stderr.isatty()
        self.start = time.monotonic()
        self.shown = None if self.terminal else self.start  # plain lines start after the first interval
        self.width = 0
        self.done = 0

    def text(self, now, final):
        head = f"bench: {self.tool} {self.done}/{self.total} {self.unit}"
        elapsed = now - self.start
        if final:
            return f"{head} in {duration(elapsed)}"
        if self.done <= 0 or elapsed <= 0:
            return head
        left = (self.total - self.done) * elapsed / self.done
        return f"{head}, {duration(left)} left"

    def show(self, now, final=False):
        text = self.text(now, final)
        if self.terminal:
            sys.stderr.write("\r" + text + " " * max(0, self.width - len(text)) + ("\n" if final else ""))
            self.width = len(text)
            _line_open[0] = not final
        else:
            sys.stderr.write(text + "\n")
        sys.stderr.flush()
        self.shown = now

    def update(self, done):
        self.done = done
        if done >= self.total and not self.terminal:
            return  # finish() says it
        now = time.monotonic()
        interval = TERMINAL_INTERVAL if self.terminal else PLAIN_INTERVAL
        if self.shown is None or now - self.shown >= interval:
            self.show(now)

    def finish(self):
        self.show(time.monotonic(), final=True)
