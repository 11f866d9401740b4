#pragma once

// Fixed capacities of a run. Every record of the run is sized by these and
// lives for the whole process; nothing is allocated per run.
namespace gridorb {

inline constexpr int MAX_ATOMS = 50;
inline constexpr int MAX_ORBITALS = 200;
inline constexpr int POINTS_PER_AXIS = 51;
inline constexpr int GRID_POINTS = POINTS_PER_AXIS * POINTS_PER_AXIS * POINTS_PER_AXIS;  // 132651

// Bohr length in Å, single precision (0.529166996...).
inline constexpr float BOHR_LENGTH = 0.529167f;

}  // namespace gridorb
