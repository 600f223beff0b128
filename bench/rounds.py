"""The timed repeats: in each, several rounds of every talhost run, the media
library's Init/Free pair, and every other tool once, interleaved so that the
machine's load falls on all of them alike."""
import json

from bench_common import log
from progress import Progress
from scan_tools import competitor_files, talhost_command, time_ffprobe, time_mutagen, timed, warm


def time_talhost_rounds(args, wine, c, hosts, plan, samples, outputs):
    """talhost's runs are short: several rounds per repeat give its minimum more chances on a busy machine."""
    progress = Progress("talhost", args.talhost_rounds * sum(plan.queries.values()), "queries")
    done = 0
    for _ in range(args.talhost_rounds):
        for name, (host, items, passes) in plan.runs.items():
            warm(wine, hosts.library, c.root / "empty")
            extra = ["--passes", str(passes)] if passes > 1 else []
            wall, cpu, proc = timed(talhost_command(wine, host, *extra, *items), env=wine.env, cwd=host)
            if proc.returncode != 0:
                raise SystemExit(f"bench: talhost {name} failed: {proc.stderr.decode(errors='replace')}")
            samples[name].append((wall, cpu))
            outputs[name] = proc.stdout
            done += plan.queries[name]
            progress.update(done)
    progress.finish()


def time_init_cost(wine, hosts):
    """The pair the plug-in makes around every query, timed inside one process of the library's own."""
    _, _, proc = timed([wine.wine, *hosts.init_cost], env=wine.env, cwd=hosts.library)
    if proc.returncode != 0:
        raise SystemExit(f"bench: initcost failed: {proc.stderr.decode(errors='replace')}")
    return json.loads(proc.stdout.decode("utf-8"))


def time_competitor(name, what, c):
    progress = Progress(name, competitor_files(name, what, c))
    if name.startswith("ffprobe"):
        wall, cpu, lines = time_ffprobe(what, progress)
    else:
        progress.update(0)
        wall, cpu, lines = time_mutagen(c.music, what)
        progress.update(progress.total)
    progress.finish()
    return wall, cpu, lines


def time_repeats(args, wine, c, hosts, plan, competitors):
    """Samples (wall, CPU seconds) and the latest output of every run by name, and the initcost reports."""
    samples = {name: [] for name in plan.runs}
    for name in competitors:
        samples[name] = []
    outputs, init_runs = {}, []
    warm(wine, hosts.library, c.root / "empty")
    for rep in range(args.repeats):
        log(f"repeat {rep + 1}/{args.repeats}")
        time_talhost_rounds(args, wine, c, hosts, plan, samples, outputs)
        if hosts.init_cost is not None:
            init_runs.append(time_init_cost(wine, hosts))
        for name, what in competitors.items():
            wall, cpu, outputs[name] = time_competitor(name, what, c)
            samples[name].append((wall, cpu))
    return samples, outputs, init_runs
