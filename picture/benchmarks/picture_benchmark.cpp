// The picture library on perfluorohexadecane's HOMO (orbital 151), computed
// by this build's gridorb: reading, isosurfaces, rendering, and all of it
// from the result files to one picture.
#include <benchmark/benchmark.h>

#include "gridorb_results.h"
#include "picture/renderer.h"
#include "picture/result_files.h"

namespace {

struct Inputs {
    std::string volumePath, coordinatePath;
    double peak;
};

const Inputs& inputs() {
    static const Inputs loaded = [] {
        const auto& run = gridorbResult("perfluorohexadecane", 151);
        return Inputs{run.folder + "/VELD.VTK", run.folder + "/TARNEL.COR", picture::peakFromConsole(run.console)};
    }();
    return loaded;
}

struct Loaded {
    picture::Scene scene;
    picture::Camera camera;
};

Loaded load(double aspect) {
    const Inputs& in = inputs();
    const auto volume = picture::readVolumeFile(in.volumePath, in.peak);
    Loaded loaded;
    loaded.scene.molecule = picture::readCoordinateFile(in.coordinatePath);
    loaded.scene.bonds = picture::findBonds(loaded.scene.molecule);
    const float level = picture::defaultLevel(in.peak);
    loaded.scene.positive = picture::extractIsosurface(volume, level);
    loaded.scene.negative = picture::extractIsosurface(volume, -level);
    loaded.camera = picture::defaultCamera(loaded.scene.molecule, volume, picture::ViewAxis::Auto, aspect, level);
    return loaded;
}

void readVolumeFile(benchmark::State& state) {
    const Inputs& in = inputs();
    for (auto _ : state) benchmark::DoNotOptimize(picture::readVolumeFile(in.volumePath, in.peak));
}
BENCHMARK(readVolumeFile)->Unit(benchmark::kMillisecond);

void readCoordinateFile(benchmark::State& state) {
    const Inputs& in = inputs();
    for (auto _ : state) benchmark::DoNotOptimize(picture::readCoordinateFile(in.coordinatePath));
}
BENCHMARK(readCoordinateFile)->Unit(benchmark::kMicrosecond);

void bothIsosurfaces(benchmark::State& state) {
    const Inputs& in = inputs();
    const auto volume = picture::readVolumeFile(in.volumePath, in.peak);
    const float level = picture::defaultLevel(in.peak);
    for (auto _ : state) {
        benchmark::DoNotOptimize(picture::extractIsosurface(volume, level));
        benchmark::DoNotOptimize(picture::extractIsosurface(volume, -level));
    }
}
BENCHMARK(bothIsosurfaces)->Unit(benchmark::kMillisecond);

// 800 x 600 frames while dragging: each turned a little further.
// Arguments: supersample, translucent.
void renderWhileTurning(benchmark::State& state) {
    Loaded loaded = load(800.0 / 600.0);
    picture::RenderOptions options;
    options.supersample = static_cast<int>(state.range(0));
    options.translucent = state.range(1) != 0;
    for (auto _ : state) {
        picture::rotateByDrag(loaded.camera, 400, 300, 404, 301, options.width, options.height);
        benchmark::DoNotOptimize(picture::render(loaded.scene, loaded.camera, options));
    }
}
BENCHMARK(renderWhileTurning)->Args({1, 0})->Args({1, 1})->Args({2, 0})->Unit(benchmark::kMillisecond);

// From the two result files to one 800 x 600 picture. Argument: supersample.
void resultFilesToPicture(benchmark::State& state) {
    picture::RenderOptions options;
    options.supersample = static_cast<int>(state.range(0));
    inputs();
    for (auto _ : state) {
        const Loaded loaded = load(800.0 / 600.0);
        benchmark::DoNotOptimize(picture::render(loaded.scene, loaded.camera, options));
    }
}
BENCHMARK(resultFilesToPicture)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
