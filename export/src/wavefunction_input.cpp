#include "wavefunction_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "run_end_exception.h"
#include "wavefunction/wavefunction_file.h"

namespace gridorb::exporter {

Wavefunction readWavefunction(const std::string& folder) {
    if (::chdir(folder.c_str()) != 0) throw InputError(folder + ": " + std::strerror(errno));
    const std::string file = folder == "." ? std::string(wavefunction::WAVEFUNCTION_FILE_NAME)
                                           : folder + (folder.back() == '/' ? "" : "/") +
                                                 wavefunction::WAVEFUNCTION_FILE_NAME;
    Wavefunction result;
    result.raw = std::make_unique<RawWavefunction>();
    try {
        wavefunction::readWavefunctionFile(result.molecule, *result.raw);
    } catch (const FailedRead& failure) {
        throw InputError(file + ": " + failure.reason);
    } catch (const RejectedRead& rejection) {
        // The reader's message already starts with the file's name.
        const std::string prefix = std::string(wavefunction::WAVEFUNCTION_FILE_NAME) + ":";
        if (rejection.message.rfind(prefix, 0) == 0) {
            throw InputError(file + rejection.message.substr(prefix.size() - 1));
        }
        throw InputError(file + ": " + rejection.message);
    }
    wavefunction::completeMoleculeRecord(result.molecule, *result.raw);
    return result;
}

}  // namespace gridorb::exporter
