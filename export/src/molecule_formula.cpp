#include "molecule_formula.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <vector>

namespace gridorb::exporter {
namespace {

constexpr const char* SYMBOLS =
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se Br Kr "
    "Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb Dy Ho Er Tm Yb "
    "Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn";

}  // namespace

std::string elementSymbol(int atomicNumber) {
    static const std::vector<std::string> symbols = [] {
        std::vector<std::string> list;
        std::istringstream words(SYMBOLS);
        for (std::string word; words >> word;) list.push_back(word);
        return list;
    }();
    if (atomicNumber >= 1 && atomicNumber <= static_cast<int>(symbols.size())) return symbols[atomicNumber - 1];
    std::string unknown = "Z";  // appended, not "Z" + ...: g++ 12 warns falsely on that form
    unknown += std::to_string(atomicNumber);
    return unknown;
}

std::string molecularFormula(const MoleculeRecord& molecule) {
    std::map<std::string, int> counts;
    for (int i = 0; i < molecule.atomCount && i < MAX_ATOMS; ++i) ++counts[elementSymbol(molecule.atomicNumbers[i])];
    std::vector<std::string> order;
    const bool carbon = counts.count("C") != 0;
    if (carbon) {
        order.push_back("C");
        if (counts.count("H")) order.push_back("H");
    }
    for (const auto& [symbol, n] : counts) {
        if (!carbon || (symbol != "C" && symbol != "H")) order.push_back(symbol);
    }
    std::string formula;
    for (const std::string& symbol : order) {
        formula += symbol;
        if (counts[symbol] > 1) formula += std::to_string(counts[symbol]);
    }
    return formula.empty() ? "no atoms" : formula;
}

}  // namespace gridorb::exporter
