/*
 * Loads VK605.dll the way a Windows host does (LoadLibrary + GetProcAddress) and checks what only the
 * real loader can show: the decorated gloss exports are callable and the plain names are absent, the
 * driver reads its own version resource, and its string table is reachable with LoadStringA.
 *
 * Usage: dll_smoke.exe EXPECTED_VERSION   (VK605.dll must lie beside the program)
 * Prints one line per check and "N passed, N failed"; exit status 0 only when all passed.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef long(__cdecl* LongFunction)(void);
typedef int(__cdecl* TextFunction)(char*);
typedef int(__cdecl* IntFunction)(void);

static int passed_count;
static int failed_count;

static void Check(int condition, const char* what, const char* detail) {
  if (condition) {
    ++passed_count;
    printf("ok    %s\n", what);
  } else {
    ++failed_count;
    printf("FAIL  %s: %s\n", what, detail);
  }
}

static FARPROC Lookup(HMODULE module, const char* name) {
  return GetProcAddress(module, name);
}

static void CheckGloss(HMODULE module, const char* plain, const char* decorated) {
  char what[128];
  char detail[64];
  LongFunction function = (LongFunction)(void (*)(void))Lookup(module, decorated);
  snprintf(what, sizeof what, "%s is exported", decorated);
  Check(function != NULL, what, "GetProcAddress returned NULL");
  snprintf(what, sizeof what, "%s is not exported under its plain name", plain);
  Check(Lookup(module, plain) == NULL, what, "GetProcAddress found it");
  if (function != NULL) {
    long result = function();
    snprintf(what, sizeof what, "%s() returns 1015", decorated);
    snprintf(detail, sizeof detail, "returned %ld", result);
    Check(result == 1015, what, detail);
  }
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: dll_smoke.exe EXPECTED_VERSION\n");
    return 2;
  }
  HMODULE module = LoadLibraryA("VK605.dll");
  if (module == NULL) {
    printf("FAIL  LoadLibraryA(\"VK605.dll\"): error %lu\n0 passed, 1 failed\n", GetLastError());
    return 1;
  }

  CheckGloss(module, "DisableGloss", "?DisableGloss@@YAJXZ");
  CheckGloss(module, "EnableGloss", "?EnableGloss@@YAJXZ");

  TextFunction get_driver_version = (TextFunction)(void (*)(void))Lookup(module, "GetDriverVersion");
  Check(get_driver_version != NULL, "GetDriverVersion is exported", "GetProcAddress returned NULL");
  if (get_driver_version != NULL) {
    static char text[8192];
    char expected[128];
    char detail[8400];
    int result = get_driver_version(text);
    snprintf(expected, sizeof expected, "Product Version: %s", argv[1]);
    snprintf(detail, sizeof detail, "result %d, text \"%s\"", result, text);
    Check(result == 0 && strcmp(text, expected) == 0, "GetDriverVersion reports the version resource",
          detail);
  }

  IntFunction translation_dialog = (IntFunction)(void (*)(void))Lookup(module, "TranslationDialog");
  Check(translation_dialog != NULL && translation_dialog() == 1, "TranslationDialog() returns 1",
        "missing or wrong result");

  char buffer[512];
  int length = LoadStringA(module, 3001, buffer, sizeof buffer);
  Check(length > 0 && strcmp(buffer, "Abort Measurement") == 0, "LoadStringA(3001) from the loaded driver",
        length > 0 ? buffer : "not found");
  HRSRC dialog = FindResourceA(module, MAKEINTRESOURCEA(10002), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  Check(dialog != NULL, "dialog template 10002 is found", "FindResourceA returned NULL");

  FreeLibrary(module);
  printf("%d passed, %d failed\n", passed_count, failed_count);
  return failed_count == 0 ? 0 : 1;
}
