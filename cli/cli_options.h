// The console program's command line: `tervolo-cli download ...`, read with CLI11 and checked
// into one set of choices.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct CliOptions
{
    std::vector<std::string> ports;
    std::uint32_t baudRate = 115200;
    int baudIndex = 0; // position of baudRate in the window's list
    std::string model;
    std::string imagePath; // empty: no main code
    std::string lpPath;    // empty: no language pack
    bool bootCode = false;
    bool gangMode = false;
    bool yes = false;
    bool json = false;
    bool diagnostics = false;
    bool station = false;
    unsigned count = 0; // downloads per port in station mode; 0 = until interrupted
    std::string logPath;
    std::string journalPath;      // empty: no journal
    double timeoutSeconds = 30.0; // no answer this long ends a download; 0 = wait for ever
    std::string jobPath;          // --job: the choices above from a job file
    std::string imageSha256;      // the job's approved content of each file; empty: any
    std::string lpSha256;
};

// Reads the command line. Returns -1 when the program should go on with `options`, otherwise
// the exit status (0 after --help or --version). Help and the version go to `out`, errors to `err`.
int ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::ostream& out,
                     std::ostream& err);

// Whether the console program downloads into this model.
bool IsKnownModel(const std::string& model);

// The log file of one port: `logPath` itself for a single port; with several ports the port's
// short name goes before the extension ("run.log" -> "run-ttyUSB0.log"), and without --log each
// port writes "tervolo-<port>.log".
std::string PortLogPath(const std::string& logPath, const std::string& port, bool severalPorts);

// The channel's debug log (the bytes received) beside a port's log: "run-ttyUSB0.log" ->
// "run-ttyUSB0-debug.log". Empty without a port log: the channel then keeps its own (the Win32
// one the window's "c:\debugfile.txt", the POSIX one none).
std::string PortDebugLogPath(const std::string& portLogPath);

// A port's name for file names and tables: its last path element ("/dev/ttyUSB0" -> "ttyUSB0",
// "\\.\COM10" -> "COM10") with anything but letters, digits, '-', '_' and '.' made '_'.
std::string PortShortName(const std::string& port);
