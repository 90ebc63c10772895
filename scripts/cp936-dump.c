/* Dumps what the ANSI code page conversions of the running Windows (or Wine)
 * produce, one code unit or byte sequence per line, for gen-cp936-table.py.
 *
 *   W uuuu hh..      WideCharToMultiByte of one UTF-16 code unit
 *   M hh.. uuuu..    MultiByteToWideChar of one or two bytes
 *   X name ok|FAIL   whole-string checks that the per-unit dump is context-free
 */
#include <windows.h>
#include <stdio.h>

static int wide_to_ansi(const WCHAR* in, int n, unsigned char* out, int cap) {
  return WideCharToMultiByte(CP_ACP, 0, in, n, (char*)out, cap, NULL, NULL);
}

static int ansi_to_wide(const unsigned char* in, int n, WCHAR* out, int cap) {
  return MultiByteToWideChar(CP_ACP, 0, (const char*)in, n, out, cap);
}

static unsigned char one_w[65536][4];
static int one_w_len[65536];
static WCHAR all_units[65536];
static unsigned char all_bytes[65536 * 4];

int main(int argc, char** argv) {
  FILE* f;
  unsigned u, lead, trail, i;
  int n, k, total, bad;
  unsigned char bytes[4];
  WCHAR wide[8];

  if (argc != 2) return 2;
  f = fopen(argv[1], "w");
  if (!f) return 1;
  fprintf(f, "ACP %u\n", (unsigned)GetACP());

  for (u = 0; u < 65536; ++u) {
    WCHAR w = (WCHAR)u;
    n = wide_to_ansi(&w, 1, one_w[u], 4);
    one_w_len[u] = n;
    fprintf(f, "W %04X", u);
    if (n <= 0) fprintf(f, " ERR");
    for (k = 0; k < n; ++k) fprintf(f, " %02X", one_w[u][k]);
    fprintf(f, "\n");
    all_units[u] = w;
  }

  /* All code units in one call must give the per-unit results in a row:
   * then a table of single units describes whole strings, pairs included. */
  total = wide_to_ansi(all_units, 65536, all_bytes, (int)sizeof all_bytes);
  bad = 0;
  {
    int pos = 0;
    for (u = 0; u < 65536 && !bad; ++u) {
      for (k = 0; k < one_w_len[u]; ++k) {
        if (pos >= total || all_bytes[pos++] != one_w[u][k]) bad = 1;
      }
    }
    if (pos != total) bad = 1;
  }
  fprintf(f, "X all-units %s\n", bad ? "FAIL" : "ok");

  bad = 0;
  for (lead = 0xD800; lead < 0xDC00; lead += 0x3F) {
    for (trail = 0xDC00; trail < 0xE000; trail += 0x11) {
      WCHAR pair[2];
      unsigned char got[8];
      pair[0] = (WCHAR)lead;
      pair[1] = (WCHAR)trail;
      n = wide_to_ansi(pair, 2, got, 8);
      if (n != one_w_len[lead] + one_w_len[trail]) { bad = 1; continue; }
      for (k = 0; k < one_w_len[lead]; ++k) if (got[k] != one_w[lead][k]) bad = 1;
      for (k = 0; k < one_w_len[trail]; ++k) if (got[one_w_len[lead] + k] != one_w[trail][k]) bad = 1;
    }
  }
  fprintf(f, "X surrogate-pairs %s\n", bad ? "FAIL" : "ok");

  for (i = 0; i < 256; ++i) {
    bytes[0] = (unsigned char)i;
    n = ansi_to_wide(bytes, 1, wide, 8);
    fprintf(f, "M %02X", i);
    if (n <= 0) fprintf(f, " ERR");
    for (k = 0; k < n; ++k) fprintf(f, " %04X", wide[k]);
    fprintf(f, "\n");
  }
  for (lead = 0x80; lead < 0x100; ++lead) {
    for (trail = 0; trail < 0x100; ++trail) {
      bytes[0] = (unsigned char)lead;
      bytes[1] = (unsigned char)trail;
      n = ansi_to_wide(bytes, 2, wide, 8);
      fprintf(f, "M %02X %02X", lead, trail);
      if (n <= 0) fprintf(f, " ERR");
      for (k = 0; k < n; ++k) fprintf(f, " %04X", wide[k]);
      fprintf(f, "\n");
    }
  }
  /* Three bytes, lead + trail + 'A', to see how many bytes a pair consumes. */
  for (lead = 0x80; lead < 0x100; ++lead) {
    for (trail = 0; trail < 0x100; ++trail) {
      bytes[0] = (unsigned char)lead;
      bytes[1] = (unsigned char)trail;
      bytes[2] = 'A';
      n = ansi_to_wide(bytes, 3, wide, 8);
      fprintf(f, "T %02X %02X", lead, trail);
      if (n <= 0) fprintf(f, " ERR");
      for (k = 0; k < n; ++k) fprintf(f, " %04X", wide[k]);
      fprintf(f, "\n");
    }
  }
  fclose(f);
  return 0;
}
