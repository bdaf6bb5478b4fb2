#include "sim/sim_options.h"

#include "sim/hex_text.h"
#include "tervolo_version.h"

namespace sim
{

const char kUsageText[] =
    "Usage: tervolo-sim [--link PATH] [--wine-prefix DIR --com N] [--control PORT]\n"
    "                   [--mobile-id TEXT] [--product-id TEXT] [--pace]\n"
    "                   [--adapter PROFILE] [--verbose] [--transcript FILE] [--help]\n"
    "                   [--version]\n"
    "\n"
    "Plays a TervoloPLUS handset on a pseudo-terminal.\n"
    "\n"
    "  --link PATH        publish the terminal as a symbolic link at PATH\n"
    "  --wine-prefix DIR  make COM<N> of this Wine prefix the link (needs --com;\n"
    "                     the link defaults to DIR/tervolo-ports/com<N>)\n"
    "  --com N            the COM port number for --wine-prefix\n"
    "  --control PORT     control channel on 127.0.0.1:PORT (default 24747, 0: any)\n"
    "  --mobile-id TEXT   mobile_id of the handset, up to 5 characters (default \"RT47 \")\n"
    "  --product-id TEXT  product_id, up to 16 characters (default \"RT47-SIM-0001\")\n"
    "  --pace             take the real line time of every byte (10 bits a byte)\n"
    "  --adapter PROFILE  hand the answers to the PC as a USB-serial adapter does:\n"
    "                     none (default), ftdi[:LATENCY-MS] (62-byte packets, latency\n"
    "                     timer 16 ms unless given), usb-poll (what has come, every\n"
    "                     1 ms with jitter), random[:SEED] (each write in two, cut\n"
    "                     at a random place)\n"
    "  --verbose          print every frame received and every answer sent\n"
    "  --transcript FILE  write frames, garbage and answers with times to FILE\n"
    "  --help             show this text\n"
    "  --version          show the program's name and version\n"
    "\n"
    "SIGINT or SIGTERM removes the link and ends the program.\n";

const char kVersionText[] = "tervolo-sim " TERVOLO_VERSION_TEXT "\n";

namespace
{

bool NeedsValue(const std::string& name)
{
    return name == "--link" || name == "--wine-prefix" || name == "--com" || name == "--control" ||
           name == "--mobile-id" || name == "--product-id" || name == "--transcript" ||
           name == "--adapter";
}

bool ParseNumberOption(const std::string& name, const std::string& value, std::uint64_t max,
                       std::uint64_t& number, std::string& error)
{
    if (!ParseUnsigned(value, number) || number > max)
    {
        error = name + " needs a number up to " + std::to_string(max) + ", not '" + value + "'";
        return false;
    }
    return true;
}

// Splits "--name=value" and takes the value of an option that needs one from the next
// argument; an option that takes none must not be given one.
bool ReadOption(const std::vector<std::string>& args, std::size_t& i, std::string& name,
                std::string& value, bool& hasValue, std::string& error)
{
    name = args[i];
    hasValue = false;
    const std::size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos)
    {
        value = name.substr(equals + 1);
        name = name.substr(0, equals);
        hasValue = true;
    }
    if (NeedsValue(name) && !hasValue)
    {
        if (i + 1 >= args.size())
        {
            error = name + " needs a value";
            return false;
        }
        value = args[++i];
        hasValue = true;
    }
    else if (!NeedsValue(name) && hasValue)
    {
        error = name + " takes no value";
        return false;
    }
    return true;
}

// Sets what an option without a value says; false when the name is none of them.
bool ApplyFlag(const std::string& name, CliOptions& options)
{
    if (name == "--pace")
        options.config.pace = true;
    else if (name == "--verbose")
        options.config.verbose = true;
    else if (name == "--help" || name == "-h")
        options.help = true;
    else if (name == "--version")
        options.version = true;
    else
        return false;
    return true;
}

// Sets what an option with a value says; an unknown name is an error.
bool ApplyValue(const std::string& name, const std::string& value, CliOptions& options,
                bool& comGiven, std::string& error)
{
    std::uint64_t number = 0;
    if (name == "--link")
    {
        options.config.linkPath = value;
    }
    else if (name == "--wine-prefix")
    {
        options.winePrefix = value;
    }
    else if (name == "--com")
    {
        if (!ParseNumberOption(name, value, kMaxComNumber, number, error) || number == 0)
        {
            error = "--com needs a port number from 1 to " + std::to_string(kMaxComNumber);
            return false;
        }
        options.comNumber = static_cast<int>(number);
        comGiven = true;
    }
    else if (name == "--control")
    {
        if (!ParseNumberOption(name, value, 65535, number, error))
            return false;
        options.config.controlPort = static_cast<unsigned short>(number);
    }
    else if (name == "--mobile-id" || name == "--product-id")
    {
        const bool mobile = name == "--mobile-id";
        if (!options.config.record.SetText(mobile ? "mobile_id" : "product_id", value,
                                           mobile ? ' ' : '\0', error))
        {
            error = name + ": " + error;
            return false;
        }
    }
    else if (name == "--transcript")
    {
        options.config.transcriptPath = value;
    }
    else if (name == "--adapter")
    {
        if (!ParseAdapterProfile(value, options.config.adapter))
        {
            error = "--adapter needs none, ftdi[:1-255], usb-poll or random[:SEED], not '" + value +
                    "'";
            return false;
        }
    }
    else
    {
        error = "unknown option '" + name + "'";
        return false;
    }
    return true;
}

// The Wine port needs both its prefix and its number; the link then defaults into the prefix.
bool FinishWinePort(bool comGiven, CliOptions& options, std::string& error)
{
    if (options.winePrefix.empty() != !comGiven)
    {
        error = "--wine-prefix and --com go together";
        return false;
    }
    if (!options.winePrefix.empty() && options.config.linkPath.empty())
    {
        options.config.linkPath =
            options.winePrefix + "/tervolo-ports/com" + std::to_string(options.comNumber);
    }
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options, std::string& error)
{
    bool comGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        std::string name;
        std::string value;
        bool hasValue = false;
        if (!ReadOption(args, i, name, value, hasValue, error))
            return false;
        if (!ApplyFlag(name, options) && !ApplyValue(name, value, options, comGiven, error))
            return false;
        if (hasValue && value.empty())
        {
            error = name + " needs a value";
            return false;
        }
    }
    return FinishWinePort(comGiven, options, error);
}

} // namespace sim
