/*
 * VK605 bench spectrophotometer driver: the public C interface.
 *
 * Every function is exported with C linkage and the cdecl calling convention. Integer results are
 * result codes (0 = success) unless a function is documented as returning a value. Text outputs go
 * into caller-owned buffers without a length argument: 8192 bytes hold every text the driver returns.
 * Spectra are arrays of doubles, 40 per spectrum, element i at 360 + 10 * i nm, reflectance factors.
 */
#ifndef VK605_VK605_H
#define VK605_VK605_H

#if defined(_WIN32)
#define VK605_CALL __cdecl
#if defined(VK605_BUILDING_LIBRARY)
/* The export table comes from resources/VK605.def, which also gives the two gloss functions their
 * decorated export names. */
#define VK605_API
#else
#define VK605_API __declspec(dllimport)
#endif
#else
#define VK605_CALL
#if defined(VK605_BUILDING_LIBRARY)
#define VK605_API __attribute__((visibility("default")))
#else
#define VK605_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Start-up, instance, reference count, language, translation ---- */

/* Connects to the instrument if not yet connected and loads its calibration-expiry file. */
VK605_API int VK605_CALL InitializeDriver(void);
/* Keeps a value for the host; GetDriverInstance returns it. */
VK605_API int VK605_CALL StoreDriverInstance(int value);
VK605_API int VK605_CALL GetDriverInstance(void);
/* Host-kept reference count (no lower bound, not interlocked). */
VK605_API int VK605_CALL IncrementReferenceCount(void);
VK605_API int VK605_CALL DecrementReferenceCount(void);
VK605_API int VK605_CALL GetReferenceCount(void);
/* Keeps a language text of at most 31 characters (longer texts are truncated). */
VK605_API int VK605_CALL SetLanguage(const char* text);
VK605_API int VK605_CALL GetLanguage(char* out);
/* Hands out the driver's module handle and four resource loaders (null entries where the platform has
 * none); either pointer may be null. Returns 0. */
VK605_API int VK605_CALL InstrumentTranslationTarget(void** module, void** loaders);
/* Does nothing; returns 1. */
VK605_API int VK605_CALL TranslationDialog(void);

/* ---- Measurement, calibration, status, identification ---- */

/* Measures one spectrum (40 doubles). 123: calibration expired. */
VK605_API int VK605_CALL PerformMeasurement(double* spectra);
/* Measurement started by the operator at the instrument; options != 0 shows the wait dialog. */
VK605_API int VK605_CALL PerformTriggerMeasurement(double* spectra, int options);
/* Triggered measurement without the wait dialog. */
VK605_API int VK605_CALL PerformRemoteMeasurement(double* spectra);
/* Two-channel measurements (80 doubles): not supported by this model, answers 1023. */
VK605_API int VK605_CALL PerformMeasurement_SCI_SCE(double* spectra, char* status);
VK605_API int VK605_CALL PerformTriggerMeasurement_SCI_SCE(double* spectra, int options);
/* Gloss measurements: not supported, -1 (123 when the calibration has expired). */
VK605_API int VK605_CALL PerformGlossMeasurement(double* data, char* status, int value);
VK605_API int VK605_CALL PerformRemoteGlossMeasurement(double* data, char* status, int value);
/* Runs the calibration sequence with its operator prompts; restarts the expiry period. */
VK605_API int VK605_CALL PerformCalibration(void);
VK605_API int VK605_CALL PerformWhiteCalibration(void);
/* Not supported by this instrument: returns 0 and changes nothing. */
VK605_API int VK605_CALL PerformBlackCalibration(void);
/* Copy the last calibration, instrument (6 characters) or measurement status text; no exchange. */
VK605_API int VK605_CALL GetCalibrationStatus(char* out);
VK605_API int VK605_CALL GetInstrumentStatus(char* out);
VK605_API int VK605_CALL GetMeasurementStatus(char* out);
VK605_API int VK605_CALL GetCurrentStatus(char* out);
/* Resets and identifies the instrument; out receives model name + serial number. */
VK605_API int VK605_CALL GetSerialNumber(char* out);
/* 1 when the identification text begins with the model prefix (both upper-cased in place). */
VK605_API int VK605_CALL IsValidInstrument(void);
VK605_API int VK605_CALL GetReady(void);
/* Firmware version text (queried once, then cached). */
VK605_API int VK605_CALL GetFirmwareVersion(char* out);
/* "Product Version: " followed by the driver's product version. */
VK605_API int VK605_CALL GetDriverVersion(char* out);

/* ---- Command dispatcher ---- */

/* Runs one command code; text receives the command's status, version or identification text. */
VK605_API unsigned int VK605_CALL ReadHead(unsigned int code, double* spectra, int* options, char* text);

/* ---- Communication settings (the setters write VK605.INI at once and re-open the port) ----
   SetPort, SetBaudRate, SetParity, SetStopBits, SetByteSize and SetEmulationMode return 1 when the value
   could not be stored in VK605.INI (not writable, disk full, file above 1 MB): nothing changes then. */

VK605_API int VK605_CALL GetPort(char* out);
/* Port name of at most 19 characters; a longer name is refused with 1 and nothing changes. */
VK605_API int VK605_CALL SetPort(const char* name);
VK605_API int VK605_CALL GetBaudRate(void);
VK605_API int VK605_CALL GetDefaultBaudRate(void);
VK605_API int VK605_CALL SetBaudRate(int rate);
/* Parity, stop bits and byte size are set with a digit character ('0'..'9'). */
VK605_API int VK605_CALL GetParity(void);
VK605_API int VK605_CALL SetParity(char digit);
VK605_API int VK605_CALL GetStopBits(void);
VK605_API int VK605_CALL SetStopBits(char digit);
VK605_API int VK605_CALL GetByteSize(void);
VK605_API int VK605_CALL SetByteSize(char digit);
VK605_API int VK605_CALL GetCommPortType(void);
VK605_API int VK605_CALL IsRS232Supported(void);
VK605_API int VK605_CALL IsUSBSupported(void);
VK605_API int VK605_CALL IsParallelSupported(void);
VK605_API int VK605_CALL IsEtherNetSupported(void);
/* 1 when a status query succeeds. */
VK605_API int VK605_CALL GetCommunications(void);
VK605_API int VK605_CALL SetCommunications(int value);

/* ---- Identity and wavelength grid ---- */

VK605_API int VK605_CALL GetEmulationName(char* out);
VK605_API int VK605_CALL GetInstrumentName(char* out);
VK605_API int VK605_CALL GetDriverRevision(void);
VK605_API int VK605_CALL GetStatusLength(void);
VK605_API int VK605_CALL GetStartingWavelength(void);
VK605_API int VK605_CALL GetEndingWavelength(void);
VK605_API int VK605_CALL GetWavelengthInterval(void);
VK605_API int VK605_CALL GetWavelengthCount(void);
VK605_API int VK605_CALL GetVisibleCount(void);
VK605_API int VK605_CALL GetStartingVisible(void);
/* Not supported: the interval stays 10 nm; returns 0. */
VK605_API int VK605_CALL SetWavelengthInterval(int interval);
VK605_API int VK605_CALL GetAngleCount(void);
VK605_API int VK605_CALL GetGeometry(void);
VK605_API int VK605_CALL GetOJReference(void);
/* One blank: the instrument has one angle. */
VK605_API int VK605_CALL GetAngleLabel(int angle, char* out);

/* ---- Measuring options ---- */

VK605_API int VK605_CALL GetMode(void);
VK605_API int VK605_CALL SetMode(int mode);
/* 0 included, 1 excluded, 2 'D', -1 unknown (from a fresh status query). */
VK605_API int VK605_CALL GetSpecularComponent(void);
VK605_API int VK605_CALL SetSpecularComponent(int component);
VK605_API int VK605_CALL GetSpecularComponentRequired(void);
VK605_API int VK605_CALL GetUVPosition(void);
VK605_API int VK605_CALL SetUVPosition(int position);
VK605_API int VK605_CALL SetUVIncluded(void);
VK605_API int VK605_CALL SetUVExcluded(void);
VK605_API int VK605_CALL IsUVIncluded(void);
VK605_API int VK605_CALL IsUVExcluded(void);
VK605_API int VK605_CALL IsUVPartial(void);
VK605_API int VK605_CALL GetLensSize(void);
VK605_API int VK605_CALL IsLens(int size);
VK605_API int VK605_CALL SetLensSize(int size);
VK605_API int VK605_CALL SetApertureSize(int size);
VK605_API int VK605_CALL GetApertureSize(void);
VK605_API int VK605_CALL IsAperture(int size);
VK605_API int VK605_CALL GetMeasurementMode(void);
VK605_API int VK605_CALL SetMeasurementMode(int mode);
/* One-call flag, cleared by the next ReadHead call. */
VK605_API int VK605_CALL GetVSAVMode(void);
VK605_API int VK605_CALL SetVSAVMode(int mode);
VK605_API int VK605_CALL GetTriggerMode(void);
VK605_API int VK605_CALL SetTriggerMode(int mode);
/* Index 0 or 1; -1 for another index. */
VK605_API int VK605_CALL GetReferenceFlashInterval(int index);
/* Returns 1 for a non-positive interval or a bad index, else 0. */
VK605_API int VK605_CALL SetReferenceFlashInterval(int index, int interval);
VK605_API int VK605_CALL GetEmulationMode(void);
/* Writes EMULATION_MODE at once; no port reapply. */
VK605_API int VK605_CALL SetEmulationMode(int mode);

/* ---- Host-held values ---- */

VK605_API int VK605_CALL GetInitialization(void);
VK605_API int VK605_CALL SetInitialization(int value);
VK605_API int VK605_CALL GetCalibrationRequestState(void);
VK605_API int VK605_CALL SetCalibrationRequestState(int value);
VK605_API int VK605_CALL GetAsymmetricalTolerancesState(void);
VK605_API int VK605_CALL SetAsymmetricalTolerancesState(int value);
VK605_API int VK605_CALL GetSpare3(void);
VK605_API int VK605_CALL SetSpare3(int value);
VK605_API int VK605_CALL GetSpare4(void);
VK605_API int VK605_CALL SetSpare4(int value);
VK605_API int VK605_CALL GetDownloadMode(void);
VK605_API int VK605_CALL SetDownloadMode(int value);
VK605_API int VK605_CALL GetUploadMode(void);
VK605_API int VK605_CALL SetUploadMode(int value);
VK605_API int VK605_CALL GetOverride(void);
VK605_API int VK605_CALL SetOverride(int value);
VK605_API int VK605_CALL SetReady(int value);
VK605_API int VK605_CALL GetHalt(void);
/* Sets the halt flag to 1. */
VK605_API int VK605_CALL SetHalt(void);

/* ---- Capabilities (fixed values of this instrument) ---- */

VK605_API int VK605_CALL ReflectanceSupported(void);
VK605_API int VK605_CALL TransmissionSupported(void);
VK605_API int VK605_CALL ReflectanceTransmissionSupported(void);
VK605_API int VK605_CALL SCESupported(void);
VK605_API int VK605_CALL SCISupported(void);
VK605_API int VK605_CALL SCISCESupported(void);
VK605_API int VK605_CALL OverLightOverDarkSupported(void);
VK605_API int VK605_CALL APHASupported(void);
VK605_API int VK605_CALL HazeSupported(void);
VK605_API int VK605_CALL OJSupported(void);
VK605_API int VK605_CALL GlossSupported(void);
VK605_API int VK605_CALL WorklistSupported(void);
VK605_API int VK605_CALL AssessmentsSupported(void);
VK605_API int VK605_CALL CalibrationFailureModeSupported(void);
VK605_API int VK605_CALL Calibrated(void);
VK605_API int VK605_CALL IsLightLevelTestSupported(void);
VK605_API int VK605_CALL IsTranslucencyCorrectionRequired(void);

/* ---- Messages ---- */

/* Copies the message of a message code (1000-1034, 2001-2023, 3001-3007); other codes copy nothing. */
VK605_API int VK605_CALL GetErrorMessage(int code, char* text);

/* ---- Host callbacks and optional controls (unsupported ones answer 1015) ---- */

VK605_API int VK605_CALL SetUnsolicitedCallback(void* callback);
VK605_API int VK605_CALL StartUnsolicitedCallback(void);
VK605_API int VK605_CALL SuspendUnsolicitedCallback(void);
VK605_API int VK605_CALL ResumeUnsolicitedCallback(void);
VK605_API int VK605_CALL TerminateUnsolicitedCallback(void);
VK605_API int VK605_CALL SetUnsolicitedCallbackMode(int mode);
VK605_API int VK605_CALL GetUnsolicitedCallbackMode(void);
VK605_API int VK605_CALL EnableAutoBaud(void);
VK605_API int VK605_CALL DisbleAutoBaud(void);
VK605_API int VK605_CALL IsAutoBaudEnabled(void);
/* The driver's own progress window is shown while this flag is 1. */
VK605_API int VK605_CALL EnableDriverUI(void);
VK605_API int VK605_CALL DisableDriverUI(void);
VK605_API int VK605_CALL IsDriverUIEnabled(void);
VK605_API int VK605_CALL SetWhiteReference(void);
/* Exported on Windows as ?DisableGloss@@YAJXZ and ?EnableGloss@@YAJXZ. */
VK605_API long VK605_CALL DisableGloss(void);
VK605_API long VK605_CALL EnableGloss(void);

/* ---- Spectral profiling ---- */

VK605_API int VK605_CALL EnableCalvera(void);
VK605_API int VK605_CALL DisableCalvera(void);
VK605_API int VK605_CALL IsCalveraEnabled(void);
VK605_API int VK605_CALL IsCalveraActive(void);
VK605_API int VK605_CALL GetCalveraID(void);
/* 1 when the last measured spectrum was corrected by the profiling component. */
VK605_API int VK605_CALL IsProfiled(void);
/* "V2", or "V2\rcreated=<date>\r" when a profile is loaded (text needs 33 bytes). 401: no profile. */
VK605_API int VK605_CALL GetDigitalSignature(char* text);
/* Stops the settings write-back at unload and switches both expiry rules off; *out = 0; returns 1. */
VK605_API int VK605_CALL IsConfiguredToProfile(int* out, int unused);
VK605_API int VK605_CALL IsEmbeddedCalveraSupported(void);
VK605_API int VK605_CALL IsEmbeddedCalveraEnabled(void);
VK605_API int VK605_CALL IsEmbeddedCalveraActive(void);
VK605_API int VK605_CALL IsEmbeddedProfileExpired(void);
VK605_API int VK605_CALL SendEmbeddedProfile(int first, int second);
VK605_API int VK605_CALL GetEmbeddedProfile(int days);
VK605_API int VK605_CALL SetEmbeddedProfileDaysToExpiration(int days);
VK605_API int VK605_CALL DisableEmbeddedCalvera(void);
VK605_API int VK605_CALL EnableEmbeddedCalvera(void);
VK605_API int VK605_CALL ResetEmbeddedCalveraExpiration(void);

/* ---- USB pipe access (FT8U100AX bridge: libusb on Linux, the bridge's kernel driver on Windows) ---- */

typedef struct VK605UsbDevice VK605UsbDevice;
/* Filled by FT8U100AX_ListenPipe in caller-provided memory (36 bytes on 32-bit Windows). */
typedef struct VK605ListenRecord {
  void* read_function;
  void* halt_function;
  VK605UsbDevice* device;
  unsigned int transfer_size;
  void* process_function;
  void* process_context;
  int stop; /* set once the listening ends; the driver reads and writes it atomically */
  void* thread;
  char* reply;
} VK605ListenRecord;

/* FT8U100AX_RegisterEvent's record: the driver handle in (as USB_Get_WD_handle stores it), the
   registration out (null when none; FT8U100AX_UnregisterEvent clears it). */
typedef struct VK605UsbEventRegistration {
  int driver_handle;
  void* event;
} VK605UsbEventRegistration;
/* One device event as the callback receives it: twelve 32-bit words (48 bytes). */
typedef struct VK605UsbEvent {
  unsigned int handle; /* the registration's number */
  unsigned int action; /* 1: the device arrived, 2: it left */
  unsigned int status;
  unsigned int event_id;
  unsigned int bus_type; /* 0xFFFFFFFE: USB */
  unsigned int reserved;
  unsigned int options;
  unsigned int vendor_id;
  unsigned int product_id;
  unsigned int unique_id;
  unsigned int version;
  unsigned int match_tables;
} VK605UsbEvent;
/* The callback FT8U100AX_RegisterEvent takes: called on the registration's event thread for each event,
   with the host's registration record as context. */
typedef void(VK605_CALL* VK605UsbEventCallback)(VK605UsbEvent* event, void* context);

VK605_API int VK605_CALL FT8U100AX_CountDevices(unsigned int vendor_id, unsigned int product_id);
VK605_API VK605UsbDevice* VK605_CALL FT8U100AX_Open(unsigned int unique_id, unsigned int configuration,
                                                    unsigned int interface_number, unsigned int alternate);
VK605_API void VK605_CALL FT8U100AX_Close(VK605UsbDevice* device);
VK605_API void VK605_CALL FT8U100AX_GetDeviceInfo(VK605UsbDevice* device, void* info644);
VK605_API int VK605_CALL FT8U100AX_ResetPipe(VK605UsbDevice* device, unsigned int pipe);
VK605_API int VK605_CALL FT8U100AX_ResetDevice(VK605UsbDevice* device);
VK605_API int VK605_CALL FT8U100AX_ReadPipe00(VK605UsbDevice* device, void* buffer, unsigned int size,
                                              const unsigned char* setup);
VK605_API int VK605_CALL FT8U100AX_WritePipe00(VK605UsbDevice* device, void* buffer, unsigned int size,
                                               const unsigned char* setup);
VK605_API int VK605_CALL FT8U100AX_ReadPipe82(VK605UsbDevice* device, void* buffer, unsigned int size);
VK605_API int VK605_CALL FT8U100AX_WritePipe02(VK605UsbDevice* device, const void* buffer, unsigned int size);
VK605_API int VK605_CALL FT8U100AX_StopTransferPipe00(VK605UsbDevice* device);
VK605_API int VK605_CALL FT8U100AX_StopTransferPipe82(VK605UsbDevice* device);
VK605_API int VK605_CALL FT8U100AX_StopTransferPipe02(VK605UsbDevice* device);
VK605_API int VK605_CALL FT8U100AX_PurgeTransmitBuffer(VK605UsbDevice* device);
VK605_API void* VK605_CALL FT8U100AX_ListenPipe(VK605UsbDevice* device, VK605ListenRecord* record);
VK605_API int VK605_CALL FT8U100AX_ProcessData(const void* data, unsigned int count, void* context,
                                               char* text);
VK605_API int VK605_CALL FT8U100AX_RegisterEvent(void* event_record, unsigned int actions,
                                                 unsigned int vendor_id, unsigned int product_id,
                                                 unsigned int unique_id, void* callback);
VK605_API void VK605_CALL FT8U100AX_UnregisterEvent(void* event_record);
VK605_API void* VK605_CALL ListenToPipe(VK605ListenRecord* record);
VK605_API unsigned long VK605_CALL PipeListenHandler(void* record);
VK605_API int VK605_CALL CloseListening(VK605ListenRecord* record);
VK605_API int VK605_CALL USB_Get_WD_handle(void* scan_record);

/* ---- User interface ---- */

/* Shows the control panel; -1 (with message 101) when it cannot be created. */
VK605_API int VK605_CALL ControlPanel(void);

/* ---- Light-level test and whiteness parameters ---- */

VK605_API int VK605_CALL PerformLightLevelTest(const void* data, const char* text, int value);
VK605_API int VK605_CALL GetLightLevelTestResults(char* out);
VK605_API int VK605_CALL GetLightLevelTestErrors(char* out);
/* Nine Ganz-Griesser parameters (PHI, D, Bandwidth, P, Q, C, m, n, k); -1 unless Geometry is 1. */
VK605_API int VK605_CALL GetGanzGriesserParameters(double* phi, double* d, double* bandwidth, double* p,
                                                   double* q, double* c, double* m, double* n, double* k);

/* ---- Host user-interface handler (every platform) ---- */

typedef struct VK605UiHandler {
  unsigned int size; /* sizeof(VK605UiHandler) */
  void* context;
  int (*message_box)(void* context, const char* text, const char* caption, unsigned int type);
  void* (*open_dialog)(void* context, const char* caption, const char* text, const char* button_text);
  void (*set_dialog_text)(void* context, void* dialog, const char* text);
  /* One pump step; nonzero once its button was pressed. dialog NULL: a pump step while the driver waits
   * with no window shown (a triggered measurement without the wait dialog); the result is ignored. */
  int (*poll_dialog)(void* context, void* dialog);
  void (*close_dialog)(void* context, void* dialog);
} VK605UiHandler;

/* Routes every message box and dialog of the driver to the host; NULL restores the platform default.
 * The handler is copied. Returns 0 (1 when size is smaller than the structure). */
VK605_API int VK605_CALL SetUserInterfaceHandler(const VK605UiHandler* handler);

#ifdef __cplusplus
}
#endif

#endif /* VK605_VK605_H */
