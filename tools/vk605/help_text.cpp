#include "help_text.h"

namespace vk605::tool {

namespace {

constexpr const char* kGeneral = R"(Usage: vk605 [OPTIONS] COMMAND [ARGS]

Measure, calibrate and inspect a VK605 spectrophotometer (or its simulator) through the VK605 driver,
which the program loads like a colour application does.

Commands:
  status       instrument and calibration status, serial number, firmware, driver version
  calibrate    run the calibration with its prompts
  measure      take readings; reflectance, XYZ and L*a*b*; table, CSV, JSON, CGATS, Argyll files; plot
  config       get or set the communication settings and the calibration expiry limits
  ports        list the serial devices that could reach the instrument
  doctor       find out why the instrument cannot be reached, with a fix for each finding
  log          where the driver's diagnostics log goes, and its last lines
  panel        the driver's control panel: status, profiling switch, calibration expiry (needs a display)

Options (before or after the command):
  --port PATH          use this serial device for the run (else PORT of the driver's VK605.INI)
  --simulate           start vk605-sim on a pseudo-terminal and use it (a driver copy under
                       $XDG_STATE_HOME/vk605/simulate keeps the simulated instrument's settings)
  --sim-arg ARG        hand ARG to vk605-sim (repeatable), e.g. --sim-arg --uncalibrated
  --sim PATH           the simulator program (else $VK605_SIM, beside vk605, the build tree, $PATH)
  --driver PATH        the driver library (else $VK605_DRIVER, the installed one, the build tree)
  --trace FILE         write the driver's diagnostics log to FILE for this run
  --json               machine output: one JSON object per line on stdout
  --non-interactive    never wait for a person: Yes/No questions get No, OK/Cancel questions Cancel
  --yes, -y            answer Yes (and OK) to the driver's questions
  --no                 answer No (and Cancel) to the driver's questions
  --answer ok|cancel   answer OK/Cancel questions (calibration prompts) this way
  --help, -h           this text; COMMAND --help shows the command's own
  --version            the program's version

The driver's messages are shown on stderr as they come, with the answer they got. Without --yes, --no or
--answer and with a terminal on stdin, the program asks. The same automatic OK to the same question more
than 10 times in a row becomes Cancel, so a script never waits for ever.

Exit codes:
  0  success
  1  another failure reported by the driver (measurement refused, file not written, ...)
  2  usage error
  3  no instrument: the port cannot be opened or nothing answers on it
  4  the instrument is not calibrated (calibration declined or cancelled)
  5  the calibration has expired (time or measurement-count limit)
  6  a triggered measurement was aborted (Ctrl-C) or ended without a result
  7  the driver library or the simulator cannot be loaded or started
  8  readings were taken but a file could not be written: they are printed on stdout instead
  130  Ctrl-C at a prompt: the prompt was cancelled, the instrument reset and the driver unloaded

Unloading the driver at the end of each command resets the instrument and takes about five seconds
(announced on stderr). Ctrl-C at a question cancels it and ends the command after that reset; Ctrl-C
anywhere else (except during a triggered measurement) ends the program at once.
)";

constexpr const char* kStatus = R"(Usage: vk605 [OPTIONS] status

Connects, then shows the instrument status text and whether the instrument reports itself calibrated,
the last calibration and the expiry rules of its calibration record, the specular mode, serial number,
firmware, driver version, emulation and profiling. With --json one object with the fields kind, vendor,
model, serial, firmware, driver_version, state, mode, specular_mode, instrument_status, calibrated,
calibration_time, calibration_expires, time_rule, count_rule, measurement_count, measurement_limit,
emulation, profiling_enabled, profiling_active, port, driver.
Exit code 4 when the instrument reports itself uncalibrated.
)";

constexpr const char* kPanel = R"(Usage: vk605 [OPTIONS] panel

Connects, then opens the driver's own control panel: the instrument's status, firmware version and
serial number, the profiling switch, and the calibration expiry limits and rules, which OK stores in the
instrument's calibration file. Needs a display (DISPLAY or WAYLAND_DISPLAY) and the driver's GTK plugin
libvk605-gtk.so beside the driver. With --json one object with the fields kind, result (ok or cancel)
and profiling_enabled. Exit code 1 when the panel cannot be shown.
)";

constexpr const char* kCalibrate = R"(Usage: vk605 [OPTIONS] calibrate

Puts the instrument into calibration mode and shows the driver's instructions. Calibrate at the
instrument, then answer OK; Cancel gives up. For scripts: --answer ok (or --yes). The expiry period
restarts. Exit code 4 when the instrument is still uncalibrated afterwards.
)";

constexpr const char* kMeasure =
    R"(Usage: vk605 [OPTIONS] measure [-n N] [--trigger] [--format FORMAT] [-o FILE] [--plot FILE]
                                [--illuminant NAME] [--observer 2|10] [--reference FILE]

Takes N readings (default 1) and shows each spectrum (360-750 nm, 10 nm; measured 400-700 nm, the ends
copied from the 400 and 700 nm values) with CIE XYZ and L*a*b* (computed with colord-data's tables,
libcolord and lcms2) and an sRGB colour; with N > 1 also the mean and the spread (mean and largest
CIEDE2000 from the mean).

  -n N                number of readings (1 to 1000); with --json each reading is printed as a JSON line
                      ({"kind":"reading",...}) as soon as it is taken
  --trigger           the operator starts each reading at the instrument; Ctrl-C presses
                      "Abort Measurement"
  --format FORMAT     table (default; a 24-bit colour swatch when COLORTERM=truecolor), csv, json (default
                      with --json), cgats (CGATS.17 with SPECTRAL_NM360..SPECTRAL_NM750, XYZ and LAB
                      fields), spect (libcolord's spectral sheet, SPEC_360..SPEC_750), ti3 (Argyll's
                      measurement file, CTI3, SPEC_360..SPEC_750 in percent; spec2cie reads it) or sp
                      (Argyll's spectral file)
  -o FILE             write the output to FILE (atomically) instead of stdout
  --plot FILE         draw the reflectance curves to FILE.svg or FILE.png (the copied ends dashed)
  --illuminant NAME   the illuminant of XYZ and L*a*b*: D65 (default), D50, D55, D93, A, B, C, E, F1..F12
                      (the tables in /usr/share/colord/illuminant)
  --observer 2|10     the CIE 1931 2 degree or the CIE 1964 10 degree observer (default 10)
  --reference FILE    CIEDE2000 of every reading (and the mean) from the colour of FILE: a CGATS or IT8
                      file (vk605's cgats, spect, ti3 or sp, Argyll's .ti3 or .sp): the mean of its spectra,
                      or of its LAB_L, LAB_A, LAB_B values when it holds no spectra

Every output records the instrument serial number, firmware, driver version, calibration time (ISO
8601, UTC), specular mode, illuminant and observer, and which wavelengths were measured; numbers always
use a decimal point. A bad option, an unknown plot form, an output file that cannot be created or an
unusable reference fails with exit code 2 before the instrument is touched. A file that cannot be written
after the readings were taken never loses them: they are printed on stdout and the exit code is 8.
Exit codes 4 (declined calibration), 5 (expired calibration), 6 (aborted trigger) and 1 (measurement
refused; the readings taken before are still written) as listed by vk605 --help.
)";

constexpr const char* kConfig = R"(Usage: vk605 [OPTIONS] config get [KEY] [--serial SERIAL]
       vk605 [OPTIONS] config set KEY VALUE [--serial SERIAL]

Communication settings (through the driver; written to its VK605.INI at once):
  port          serial device, at most 19 characters (/dev/ttyUSB0; COM1: means /dev/ttyS0)
  baudrate      e.g. 9600
  parity        none, odd or even
  stopbits      1, 1.5 or 2
  bytesize      7 or 8
  emulation     on or off (answer status queries without an instrument)

Calibration expiry limits (the calibration record <model+serial>.INI beside the driver; they apply
from the next command on):
  hours, minutes   validity period after a calibration
  measurements     number of measurements allowed after a calibration
  time-rule        on or off
  count-rule       on or off

The expiry keys need the instrument's serial number: the program connects to read it, or --serial names
it (the number without the model name, e.g. --serial 12345). Without KEY, get lists every key.
)";

constexpr const char* kPorts = R"(Usage: vk605 [OPTIONS] ports

Lists /dev/serial/by-id links, /dev/ttyUSB*, /dev/ttyACM* and the /dev/ttyS* ports with a UART, with the
USB vendor:product, maker and product names, USB serial number, kernel driver, owning group, and whether
you may open them. Loads no driver.
)";

constexpr const char* kDoctor = R"(Usage: vk605 [OPTIONS] doctor

Checks, for the configured port (or --port / --simulate): that the device exists, that you may open it,
that you are in the group owning it, that no other process holds it, whether ModemManager may probe it,
and whether an instrument answers. Each finding comes with its fix. Never switches the driver to
emulation. Exit code 3 when no instrument can be reached, 1 when another check failed.
)";

constexpr const char* kLog = R"(Usage: vk605 [OPTIONS] log [-n LINES] [--file FILE]

Shows where the driver writes its diagnostics log (DiagnosticsFileName under
[Software\Orvanta\Spectrophotometers\VK605] in the registry stand-in, $VK605_REGISTRY or
$XDG_CONFIG_HOME/vk605/registry.ini) and its last LINES lines (default 20). --file shows the tail of a
trace written with --trace FILE.
)";

}  // namespace

std::string HelpText(const std::string& command) {
  if (command.empty()) return kGeneral;
  if (command == "status") return kStatus;
  if (command == "panel") return kPanel;
  if (command == "calibrate") return kCalibrate;
  if (command == "measure") return kMeasure;
  if (command == "config") return kConfig;
  if (command == "ports") return kPorts;
  if (command == "doctor") return kDoctor;
  if (command == "log") return kLog;
  return {};
}

}  // namespace vk605::tool
