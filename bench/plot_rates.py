"""The plot of files per second per tool (files_per_second.png)."""
from report_tables import TOOL_ORDER, library_title, per_file_rate


def plot(res, out):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return "matplotlib not installed (Debian package python3-matplotlib)"
    # One run's bars only: figures of separate runs on a shared machine differ by its load as much as by
    # any change, so the other build is shown from the same rounds (--compare-dist) when it was measured.
    names = [n for n in TOOL_ORDER if n in res["tools"]]
    compare = (res.get("compare_label") or "other") + " build"
    labels = [(f"talhost\n{compare}" if n == "talhost compare" else n).replace(" WAV part", "\n(WAV part)")
              .replace(" WAV-only", "\nWAV-only") for n in names]
    rates = [per_file_rate(res["tools"][n]) for n in names]
    colours = ["#3070b0" if n.startswith("talhost") and n != "talhost compare" else
               "#bbbbbb" if n == "talhost compare" else "#d08030" for n in names]
    fig, ax = plt.subplots(figsize=(9.5, 4.8), dpi=100)
    xs = range(len(names))
    bars = ax.bar(list(xs), rates, width=0.6, color=colours)
    for bar, value in zip(bars, rates):
        ax.annotate(f"{value:,.0f}", (bar.get_x() + bar.get_width() / 2, value), ha="center", va="bottom",
                    fontsize=8)
    ax.set_yscale("log")
    ax.set_xticks(list(xs))
    ax.set_xticklabels(labels, fontsize=8)
    ax.set_ylabel("files per second (log scale, from the minimum time)")
    title = (f"Library scan with {library_title(res)}\n{res['files']} files ({res['wav_files']} WAV), "
             f"{res['machine']['cores']} cores, {res['repeats']} repeat{'s' if res['repeats'] != 1 else ''}")
    ax.set_title(title, fontsize=10)
    fig.tight_layout()
    fig.savefig(out / "files_per_second.png", metadata={"Title": title.replace("\n", ", ")})
    plt.close(fig)
    return None
