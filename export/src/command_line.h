#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/camera.h"

// The command line of gridorb-export.
namespace gridorb::exporter {

inline constexpr int DEFAULT_POINTS = 51;
inline constexpr int MIN_POINTS = 11;
inline constexpr int MAX_POINTS = 201;
inline constexpr double DEFAULT_MARGIN = 3.0;  // Å
inline constexpr double MAX_MARGIN = 100.0;    // Å
inline constexpr int MAX_PICTURE_SIDE = 8192;

struct Options {
    std::string inputFolder = ".";
    std::optional<std::string> outputFolder;  // none: the input folder
    bool cube = false;
    bool png = false;
    int points = DEFAULT_POINTS;
    double margin = DEFAULT_MARGIN;
    std::optional<double> isovalue;  // none: chosen from the orbital's peak
    int width = 1024;
    int height = 768;
    picture::ViewAxis view = picture::ViewAxis::Auto;
    bool translucent = false;
    bool quiet = false;
    std::vector<std::string> orbitals;

    // The core's own grid: its points and its values, bit for bit.
    bool coreGrid() const { return points == DEFAULT_POINTS && margin == DEFAULT_MARGIN; }
};

enum class Request { Export, Help, Version };

struct CommandLine {
    Request request = Request::Export;
    Options options;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Options may stand anywhere before "--"; "--name=value" and "--name value"
// both work, and "-C DIR" also as "-CDIR". Neither --cube nor --png: cube.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace gridorb::exporter
