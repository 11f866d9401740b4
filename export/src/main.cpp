#include <string>
#include <vector>

#include "export_run.h"

int main(int argc, char** argv) {
    return gridorb::exporter::runExport(std::vector<std::string>(argv + 1, argv + argc));
}
