/*
 * Loads VK605.dll the way a Windows host does (LoadLibrary + GetProcAddress) and checks what only the
 * real loader can show: the decorated gloss exports are callable and the plain names are absent, the
 * driver reads its own version resource, and its string table is reachable with LoadStringA. Without the
 * bridge's kernel driver (Wine has none) the USB exports find no device and touch no host buffer.
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
typedef int(__cdecl* CountDevicesFunction)(unsigned int, unsigned int);
typedef void*(__cdecl* OpenFunction)(unsigned int, unsigned int, unsigned int, unsigned int);
typedef int(__cdecl* PipeFunction)(void*, void*, unsigned int);
typedef void(__cdecl* EventCallback)(void*, void*);
typedef int(__cdecl* RegisterEventFunction)(void*, unsigned int, unsigned int, unsigned int, unsigned int,
                                            EventCallback);

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

static int IsUntouched(const unsigned char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0xA5) return 0;
  }
  return 1;
}

static void __cdecl NeverCalled(void* event, void* context) {
  (void)event;
  (void)context;
  Check(0, "the device-event callback is not called", "it was");
}

static void CheckUsbWithoutKernelDriver(HMODULE module) {
  CountDevicesFunction count_devices =
      (CountDevicesFunction)(void (*)(void))Lookup(module, "FT8U100AX_CountDevices");
  OpenFunction open = (OpenFunction)(void (*)(void))Lookup(module, "FT8U100AX_Open");
  PipeFunction read_pipe82 = (PipeFunction)(void (*)(void))Lookup(module, "FT8U100AX_ReadPipe82");
  RegisterEventFunction register_event =
      (RegisterEventFunction)(void (*)(void))Lookup(module, "FT8U100AX_RegisterEvent");
  Check(count_devices != NULL && open != NULL && read_pipe82 != NULL && register_event != NULL,
        "the USB exports are exported", "GetProcAddress returned NULL");
  if (count_devices == NULL || open == NULL || read_pipe82 == NULL || register_event == NULL) return;
  Check(count_devices(0x0971, 0) == 0, "FT8U100AX_CountDevices(0x0971, 0) finds no bridge", "nonzero");
  Check(open(0, 0, 0, 0) == NULL, "FT8U100AX_Open finds no bridge", "returned a device");
  unsigned char buffer[64];
  memset(buffer, 0xA5, sizeof buffer);
  Check(read_pipe82(NULL, buffer, sizeof buffer) == -1 && IsUntouched(buffer, sizeof buffer),
        "FT8U100AX_ReadPipe82 without a device is -1 and leaves the buffer",
        "wrong result or buffer written");
  unsigned char record[64];
  memset(record, 0xA5, sizeof record);
  memset(record, 0, 16); /* the driver handle and the registration, as a host prepares them */
  int registered = register_event(record, 3, 0x0971, 0, 0, NeverCalled);
  Check(registered == 0 && IsUntouched(record + 16, sizeof record - 16),
        "FT8U100AX_RegisterEvent without the kernel driver registers nothing",
        "registered or record written");
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

  CheckUsbWithoutKernelDriver(module);

  FreeLibrary(module);
  printf("%d passed, %d failed\n", passed_count, failed_count);
  return failed_count == 0 ? 0 : 1;
}
