#include "reference/reference_evaluator.h"

#include <cmath>

namespace gridorb::reference {
namespace {

const float ALPHA[3][3] = {{0.109818f, 0.405771f, 2.22766f},
                           {0.0751386f, 0.231031f, 0.994203f},
                           {0.0527266f, 0.134715f, 0.482854f}};
const float DS[3][3] = {{0.444635f, 0.535328f, 0.154329f},
                        {0.700115f, 0.399513f, -0.0999672f},
                        {0.900398f, 0.225595f, -0.219620f}};
const float DP[3][3] = {{0.0f, 0.0f, 0.0f},
                        {0.391957f, 0.607684f, 0.155916f},
                        {0.462001f, 0.595167f, 0.0105876f}};

float g(float x) {
    if (x >= -19.0f) return (float)exp((double)x);
    return 0.0f;
}

}  // namespace

void multiplySquare(const double* a, const double* b, double* p, int n) {
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            double sum = a[(i - 1) * n + 0] * b[0 * n + (j - 1)];
            for (int k = 2; k <= n; ++k) sum = sum + a[(i - 1) * n + (k - 1)] * b[(k - 1) * n + (j - 1)];
            p[(i - 1) * n + (j - 1)] = sum;
        }
    }
}

Planes layOutPlanes(MoleculeRecord& molecule) {
    Planes planes{};
    float lowCorner[3], highCorner[3], origin[3], spacing[3];
    for (int k = 0; k < 3; ++k) {
        float lowest = 100.0f, highest = -100.0f;
        for (int i = 0; i < molecule.atomCount; ++i) {
            if (molecule.coordinates[i][k] < lowest) lowest = molecule.coordinates[i][k];
            if (molecule.coordinates[i][k] > highest) highest = molecule.coordinates[i][k];
        }
        lowCorner[k] = (float)((double)lowest - 3.0);
        highCorner[k] = (float)((double)highest + 3.0);
    }
    float r = (float)(1.0 / (double)0.529167f);
    for (int i = 0; i < molecule.atomCount; ++i)
        for (int k = 0; k < 3; ++k) molecule.coordinates[i][k] = (float)((double)molecule.coordinates[i][k] * r);
    float spanDivisor = (float)((double)0.529167f * 50.0);
    for (int k = 0; k < 3; ++k) {
        origin[k] = (float)((double)lowCorner[k] / (double)0.529167f);
        spacing[k] = (float)(((double)highCorner[k] - (double)lowCorner[k]) / (double)spanDivisor);
        planes[k][0] = origin[k];
        for (int j = 1; j < POINTS_PER_AXIS; ++j) planes[k][j] = (float)((double)planes[k][j - 1] + (double)spacing[k]);
    }
    return planes;
}

void evaluate(const MoleculeRecord& molecule, const float* column, const Planes& planes, float* psi) {
    float ws[3][3], wp[3][3];
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 3; ++k) {
            ws[s][k] = (float)(pow((double)ALPHA[s][k], 0.75) * (double)DS[s][k]);
            wp[s][k] = (float)(pow((double)ALPHA[s][k], 1.25) * (double)DP[s][k]);
        }
    for (int i = 0; i < GRID_POINTS; ++i) psi[i] = 0.0f;

    float d[3][51], d2[3][51];
    float sx[3][51], sy[3][51], sz[3][51], px[3][51], py[3][51], pz[3][51], gx[3][51], gy[3][51], gz[3][51];
    int b = 1;
    for (int atom = 0; atom < molecule.atomCount; ++atom) {
        int z = molecule.atomicNumbers[atom];
        for (int axis = 0; axis < 3; ++axis)
            for (int i = 0; i < 51; ++i) {
                d[axis][i] = (float)((double)planes[axis][i] - (double)molecule.coordinates[atom][axis]);
                d2[axis][i] = (float)((double)d[axis][i] * (double)d[axis][i]);
            }
        if (z > 18) {
            b = b + 4;
            continue;
        }
        int shell = z <= 2 ? 0 : (z <= 10 ? 1 : 2);
        float zs = molecule.sExponents[atom], zp = molecule.pExponents[atom];
        float c[4];
        for (int f = 0; f < 4; ++f) c[f] = (b + f <= 200) ? column[b - 1 + f] : 0.0f;

        float rootS = (float)sqrt((double)zs);
        float ns = (float)((double)zs * (double)rootS * (double)0.7127055f);
        float zs2 = (float)((double)zs * (double)zs);
        float cs[3], es[3];
        for (int k = 0; k < 3; ++k) {
            cs[k] = (float)(((double)ns * (double)c[0]) * (double)ws[shell][k]);
            es[k] = (float)(-(double)ALPHA[shell][k] * (double)zs2);
        }
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 51; ++i) {
                sx[k][i] = (float)((double)g((float)((double)d2[0][i] * (double)es[k])) * (double)cs[k]);
                sy[k][i] = g((float)((double)d2[1][i] * (double)es[k]));
                sz[k][i] = g((float)((double)d2[2][i] * (double)es[k]));
            }
        if (shell == 0) {
            for (int iz = 0; iz < 51; ++iz)
                for (int iy = 0; iy < 51; ++iy)
                    for (int k = 0; k < 3; ++k)
                        for (int ix = 0; ix < 51; ++ix) {
                            int at = ix + 51 * iy + 2601 * iz;
                            psi[at] = (float)((double)psi[at] + ((double)sy[k][iy] * (double)sz[k][iz]) * (double)sx[k][ix]);
                        }
            b = b + 1;
            continue;
        }

        float zp2 = (float)((double)zp * (double)zp);
        float np = (float)((double)zp2 * sqrt((double)zp) * (double)1.425411f);
        float ep[3];
        for (int k = 0; k < 3; ++k) {
            float cp = (float)((double)np * (double)wp[shell][k]);
            float cx = (float)((double)cp * (double)c[1]);
            float cy = (float)((double)cp * (double)c[2]);
            float cz = (float)((double)cp * (double)c[3]);
            ep[k] = (float)(-(double)ALPHA[shell][k] * (double)zp2);
            for (int i = 0; i < 51; ++i) {
                px[k][i] = (float)((double)cx * (double)d[0][i]);
                py[k][i] = (float)((double)cy * (double)d[1][i]);
                pz[k][i] = (float)((double)cz * (double)d[2][i]);
                gx[k][i] = g((float)((double)d2[0][i] * (double)ep[k]));
                gy[k][i] = g((float)((double)d2[1][i] * (double)ep[k]));
                gz[k][i] = g((float)((double)d2[2][i] * (double)ep[k]));
            }
        }
        for (int iz = 0; iz < 51; ++iz)
            for (int iy = 0; iy < 51; ++iy)
                for (int k = 0; k < 3; ++k)
                    for (int ix = 0; ix < 51; ++ix) {
                        int at = ix + 51 * iy + 2601 * iz;
                        psi[at] = (float)((double)psi[at] + ((double)sy[k][iy] * (double)sz[k][iz]) * (double)sx[k][ix]);
                        psi[at] = (float)((double)psi[at] +
                                          ((((double)py[k][iy] + (double)pz[k][iz]) + (double)px[k][ix]) * (double)gx[k][ix]) *
                                              (double)gy[k][iy] * (double)gz[k][iz]);
                    }
        b = b + 4;
    }
}

}  // namespace gridorb::reference
