#include "command_line.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace gridorb::exporter {
namespace {

[[noreturn]] void refuse(const std::string& option, const std::string& value, const std::string& why) {
    throw UsageError(option + " " + value + ": " + why);
}

int wholeNumber(const std::string& option, const std::string& value, int low, int high, const std::string& why) {
    int number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < low || number > high) {
        refuse(option, value, why);
    }
    return number;
}

// A decimal number as written, whatever the locale ('.' as decimal point).
double realNumber(const std::string& option, const std::string& value, const std::string& why) {
    double number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || !std::isfinite(number)) {
        refuse(option, value, why);
    }
    return number;
}

}  // namespace

std::string usageText() {
    return "usage: gridorb-export [OPTIONS] ORBITAL...\n"
           "Writes molecular orbitals of the FOR013 in a folder as cube files and/or pictures.\n"
           "\n"
           "ORBITAL: a number, homo, lumo, homo-N, lumo+N, a range A..B of these, or all\n"
           "\n"
           "  -C DIR            the folder holding FOR013 (default: the current one)\n"
           "  -o DIR            where the files go (default: the folder of FOR013)\n"
           "  --cube            Gaussian cube files, orbital-NNN-LABEL.cube (the default)\n"
           "  --png             pictures, orbital-NNN-LABEL.png\n"
           "  --points N        points per axis, odd, 11 to 201 (default 51: gridorb's own grid)\n"
           "  --margin A        margin around the molecule in angstrom (default 3.0)\n"
           "  --isovalue V      surface value of the pictures in atomic units\n"
           "                    (default 0.05, or a quarter of the peak where 0.05 is over half of it)\n"
           "  --size WxH        picture size in pixels (default 1024x768)\n"
           "  --view auto|x|y|z the direction of view (default auto: face-on)\n"
           "  --translucent     see-through lobes, atoms visible inside them\n"
           "  --quiet           no progress lines\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 when every file is written, 1 when a write failed, 2 for bad usage or input.\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    Options& o = line.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            o.orbitals.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> attached;
        if (argument.rfind("--", 0) == 0) {
            if (auto equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
            }
        } else if (argument.size() > 2) {  // -CDIR, -oDIR
            name = argument.substr(0, 2);
            attached = argument.substr(2);
        }
        auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 >= arguments.size()) throw UsageError(name + ": needs a value");
            return arguments[++i];
        };
        auto flag = [&](bool& target) {
            if (attached) throw UsageError(name + ": takes no value");
            target = true;
        };

        if (name == "-C") {
            o.inputFolder = value();
            if (o.inputFolder.empty()) refuse(name, "''", "needs a folder");
        } else if (name == "-o") {
            o.outputFolder = value();
            if (o.outputFolder->empty()) refuse(name, "''", "needs a folder");
        } else if (name == "--cube") {
            flag(o.cube);
        } else if (name == "--png") {
            flag(o.png);
        } else if (name == "--translucent") {
            flag(o.translucent);
        } else if (name == "--quiet") {
            flag(o.quiet);
        } else if (name == "--help") {
            line.request = Request::Help;
            return line;
        } else if (name == "--version") {
            line.request = Request::Version;
            return line;
        } else if (name == "--points") {
            std::string v = value();
            o.points = wholeNumber(name, v, MIN_POINTS, MAX_POINTS, "must be an odd number from 11 to 201");
            if (o.points % 2 == 0) refuse(name, v, "must be an odd number from 11 to 201");
        } else if (name == "--margin") {
            std::string v = value();
            o.margin = realNumber(name, v, "must be a number of angstrom from 0 to 100");
            if (o.margin < 0 || o.margin > MAX_MARGIN) refuse(name, v, "must be a number of angstrom from 0 to 100");
        } else if (name == "--isovalue") {
            std::string v = value();
            o.isovalue = realNumber(name, v, "must be a positive number (atomic units)");
            if (!(*o.isovalue > 0)) refuse(name, v, "must be a positive number (atomic units)");
        } else if (name == "--size") {
            std::string v = value();
            const std::string why = "must be WIDTHxHEIGHT, each from 16 to " + std::to_string(MAX_PICTURE_SIDE);
            const std::size_t x = v.find('x');
            if (x == std::string::npos) refuse(name, v, why);
            try {
                o.width = wholeNumber(name, v.substr(0, x), 16, MAX_PICTURE_SIDE, why);
                o.height = wholeNumber(name, v.substr(x + 1), 16, MAX_PICTURE_SIDE, why);
            } catch (const UsageError&) {
                refuse(name, v, why);
            }
        } else if (name == "--view") {
            std::string v = value();
            if (v == "auto") o.view = picture::ViewAxis::Auto;
            else if (v == "x") o.view = picture::ViewAxis::X;
            else if (v == "y") o.view = picture::ViewAxis::Y;
            else if (v == "z") o.view = picture::ViewAxis::Z;
            else refuse(name, v, "must be auto, x, y or z");
        } else {
            throw UsageError(argument + ": unknown option (try --help)");
        }
    }
    if (!o.cube && !o.png) o.cube = true;
    if (o.orbitals.empty()) throw UsageError("no orbital named (for example: gridorb-export homo)");
    return line;
}

}  // namespace gridorb::exporter
