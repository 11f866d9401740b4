#pragma once

#include <string>

#include "model/molecule_record.h"

// The molecular formula in Hill order: carbon first, then hydrogen, then the
// other elements alphabetically (all alphabetically without carbon).
namespace gridorb::exporter {

std::string elementSymbol(int atomicNumber);
std::string molecularFormula(const MoleculeRecord& molecule);

}  // namespace gridorb::exporter
