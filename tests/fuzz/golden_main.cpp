// The golden driver: linked with one fuzz target instead of libFuzzer, runs
// the target once over each input file given and prints one line for it,
// "NAME DESCRIPTION" (NAME is the file name without its folder, so the line
// does not depend on where the input lies). The target's checks still stop
// the run. scripts/fuzz.sh sorts and compares the lines.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tests/fuzz/golden.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Inputs are small; a bigger file is a mistake in the corpus, not a case.
static const long kMostInputBytes = 16L * 1024 * 1024;

static bool ReadInput(const char *path, uint8_t **data, size_t *size) {
  FILE *f = fopen(path, "rb");
  if (f == NULL) return false;
  long length = -1;
  if (fseek(f, 0, SEEK_END) == 0) length = ftell(f);
  if (length < 0 || length > kMostInputBytes || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return false;
  }
  // Exactly the input's size, as libFuzzer hands it over, so a read past it is caught.
  *data = static_cast<uint8_t *>(malloc(length > 0 ? (size_t)length : 1));
  *size = (size_t)length;
  const bool ok = *data != NULL && fread(*data, 1, *size, f) == *size;
  fclose(f);
  if (!ok) free(*data);
  return ok;
}

int main(int argc, char **argv) {
  g_golden_on = true;
  for (int i = 1; i < argc; ++i) {
    uint8_t *data = NULL;
    size_t size = 0;
    if (!ReadInput(argv[i], &data, &size)) {
      fprintf(stderr, "golden: cannot read %s\n", argv[i]);
      return 1;
    }
    GoldenReset();
    LLVMFuzzerTestOneInput(data, size);
    free(data);
    const char *slash = strrchr(argv[i], '/');
    for (const char *p = slash != NULL ? slash + 1 : argv[i]; *p != 0; ++p) {
      const unsigned char c = (unsigned char)*p;
      if (c > 0x20 && c < 0x7F && c != '\\') {
        putchar(c);
      } else {
        printf("\\x%02x", c);
      }
    }
    printf("%s%s\n", g_golden_used > 0 ? g_golden : " -", g_golden_cut ? " [cut]" : "");
  }
  return fflush(stdout) == 0 ? 0 : 1;
}
