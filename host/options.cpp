// Options are taken in order; the first bad one ends the run with exit code 2.
#include "host/options.h"

#include <stdio.h>
#include <stdlib.h>

#include "host/report.h"

static void Usage(void) {
  fputs("usage: talhost [--plugin PATH] [--json] [--passes N] [--stats] ITEM...\n"
        "       talhost [--plugin PATH] --module | --info ITEM | --config | --about | --volume N | --pan N\n",
        stderr);
}

static bool ParseInt(const wchar_t *text, int *value) {
  if (text == NULL || *text == 0) return false;
  wchar_t *end = NULL;
  long v = wcstol(text, &end, 10);
  if (*end != 0) return false;
  *value = (int)v;
  return true;
}

// Options that take no value, or a value at argv[*i + 1] (which *i then moves past).
static bool TakeOption(int argc, wchar_t **argv, int *i, HostOptions *o) {
  const wchar_t *a = argv[*i];
  bool has_next = *i + 1 < argc;
  if (wcscmp(a, L"--json") == 0) {
    o->json = true;
  } else if (wcscmp(a, L"--plugin") == 0 && has_next) {
    o->plugin_path = argv[++*i];
  } else if (wcscmp(a, L"--module") == 0) {
    o->module = true;
  } else if (wcscmp(a, L"--info") == 0 && has_next) {
    o->info_item = argv[++*i];
  } else if (wcscmp(a, L"--config") == 0) {
    ++o->config;
  } else if (wcscmp(a, L"--about") == 0) {
    o->about = true;
  } else if (wcscmp(a, L"--stats") == 0) {
    o->stats = true;
  } else if (wcscmp(a, L"--volume") == 0 && has_next && ParseInt(argv[*i + 1], &o->volume)) {
    o->set_volume = true;
    ++*i;
  } else if (wcscmp(a, L"--pan") == 0 && has_next && ParseInt(argv[*i + 1], &o->pan)) {
    o->set_pan = true;
    ++*i;
  } else if (wcscmp(a, L"--passes") == 0 && has_next && ParseInt(argv[*i + 1], &o->passes) && o->passes > 0) {
    ++*i;
  } else {
    return false;
  }
  return true;
}

int ParseOptions(int argc, wchar_t **argv, HostOptions *o) {
  o->plugin_path = o->info_item = NULL;
  o->json = o->module = o->about = o->stats = false;
  o->config = 0;
  o->set_volume = o->set_pan = false;
  o->volume = o->pan = 0;
  o->passes = 1;
  o->items.clear();
  for (int i = 1; i < argc; ++i) {
    const wchar_t *a = argv[i];
    if (TakeOption(argc, argv, &i, o)) continue;
    if (wcscmp(a, L"--help") == 0) {
      Usage();
      return 0;
    }
    if (a[0] == L'-' && a[1] == L'-') {
      Error(L"bad option", a);
      Usage();
      return 2;
    }
    o->items.push_back(argv[i]);
  }
  if (!o->module && !o->info_item && !o->config && !o->about && !o->set_volume && !o->set_pan && o->items.empty()) {
    Usage();
    return 2;
  }
  return kOptionsOk;
}
