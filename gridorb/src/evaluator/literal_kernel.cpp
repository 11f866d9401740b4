#include "evaluator/literal_kernel.h"

namespace gridorb::evaluator {

void accumulateAtomLiteral(const AtomFactors& factors, OrbitalVolume& psi) {
    if (factors.shell == basis::Shell::None) return;
    const bool sp = factors.shell != basis::Shell::OneS;
    for (int iz = 0; iz < POINTS_PER_AXIS; ++iz) {
        for (int iy = 0; iy < POINTS_PER_AXIS; ++iy) {
            for (int k = 0; k < 3; ++k) {
                const PrimitiveFactors& f = factors.primitive[k];
                for (int ix = 0; ix < POINTS_PER_AXIS; ++ix) {
                    float& v = psi.at(ix, iy, iz);
                    v = static_cast<float>(v + (static_cast<double>(f.sy[iy]) * f.sz[iz]) * f.sx[ix]);
                    if (sp) {
                        double bracket = (static_cast<double>(f.py[iy]) + f.pz[iz]) + f.px[ix];
                        v = static_cast<float>(v + bracket * f.gx[ix] * f.gy[iy] * f.gz[iz]);
                    }
                }
            }
        }
    }
}

}  // namespace gridorb::evaluator
