#include "picture/renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <png.h>

#include "gridorb_results.h"
#include "picture/png_file.h"
#include "picture/result_files.h"

namespace {

using picture::Camera;
using picture::Image;
using picture::RenderOptions;
using picture::Scene;

struct Pixel {
    int r, g, b;
};
Pixel at(const Image& image, int x, int y) {
    const auto* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}
bool reddish(Pixel p) { return p.r > 2 * p.b + 20 && p.r > 2 * p.g; }
bool bluish(Pixel p) { return p.b > 2 * p.r + 20 && p.b > p.g; }

Camera lookingDownZ(std::array<double, 3> centre, double viewHeight) {
    Camera camera;
    camera.centre = centre;
    camera.viewHeight = viewHeight;
    return camera;
}

TEST(Renderer, AnAtomIsADiscOfItsRadiusAndFollowsPanAndZoom) {
    Scene scene;
    scene.molecule.atoms.push_back({6, {1.0, 2.0, 3.0}});
    Camera camera = lookingDownZ({1.0, 2.0, 3.0}, 4.0);
    RenderOptions options;
    options.width = 203;
    options.height = 100;
    options.supersample = 1;
    const auto disc = [&](double& x, double& y) {
        const Image image = picture::render(scene, camera, options);
        EXPECT_EQ(image.rgb.size(), 203u * 100u * 3u);
        double count = 0;
        x = y = 0;
        for (int py = 0; py < image.height; ++py) {
            for (int px = 0; px < image.width; ++px) {
                const Pixel p = at(image, px, py);
                if (p.r == 255 && p.g == 255 && p.b == 255) continue;
                ++count;
                x += px + 0.5;
                y += py + 0.5;
            }
        }
        x /= count;
        y /= count;
        return count;
    };
    double x, y;
    const double radius = picture::elementRadius(6) * 100 / 4.0;  // pixels
    EXPECT_NEAR(disc(x, y) / (M_PI * radius * radius), 1.0, 0.03);
    EXPECT_NEAR(x, 101.5, 0.05);
    EXPECT_NEAR(y, 50.0, 0.05);

    picture::panByPixels(camera, 20, -10, options.height);
    picture::zoom(camera, 2.0);
    EXPECT_NEAR(disc(x, y) / (M_PI * 4 * radius * radius), 1.0, 0.02);
    EXPECT_NEAR(x, 101.5 + 40, 0.05);  // the pan, in scene units, doubles with the zoom
    EXPECT_NEAR(y, 50.0 - 20, 0.05);
}

TEST(Renderer, NearerHidesFarther) {
    Scene scene;
    scene.molecule.atoms = {{8, {0.0, 0.0, 1.0}}, {7, {0.0, 0.0, -1.0}}};  // red oxygen nearer the viewer
    RenderOptions options;
    options.width = options.height = 40;
    Camera camera = lookingDownZ({0, 0, 0}, 3.0);
    EXPECT_TRUE(reddish(at(picture::render(scene, camera, options), 20, 20)));
    camera.rotation = {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};  // from behind: the blue nitrogen
    EXPECT_TRUE(bluish(at(picture::render(scene, camera, options), 20, 20)));
}

// A positive lobe left, a negative one right, both as isosurfaces.
Scene twoLobes() {
    picture::Volume volume{{41, 25, 25}, {-4.0, -2.4, -2.4}, {0.2, 0.2, 0.2}, {}};
    for (int k = 0; k < 25; ++k) {
        for (int j = 0; j < 25; ++j) {
            for (int i = 0; i < 41; ++i) {
                const auto p = volume.position(i, j, k);
                const double yz = p[1] * p[1] + p[2] * p[2];
                volume.values.push_back(static_cast<float>(std::exp(-((p[0] + 1.8) * (p[0] + 1.8) + yz)) -
                                                           std::exp(-((p[0] - 1.8) * (p[0] - 1.8) + yz))));
            }
        }
    }
    Scene scene;
    scene.positive = picture::extractIsosurface(volume, 0.3f);
    scene.negative = picture::extractIsosurface(volume, -0.3f);
    return scene;
}

TEST(Renderer, ColoursFollowTheSignAndTranslucentLobesShowTheAtomsInside) {
    Scene scene = twoLobes();
    RenderOptions options;
    options.width = 160;
    options.height = 80;
    const Camera camera = lookingDownZ({0, 0, 0}, 4.0);
    const Image opaque = picture::render(scene, camera, options);
    EXPECT_TRUE(reddish(at(opaque, 80 - 36, 32)));  // above x = -1.8 Å, off the highlight
    EXPECT_TRUE(bluish(at(opaque, 80 + 36, 32)));   // above x = +1.8 Å
    EXPECT_EQ(at(opaque, 80, 5).g, 255);            // nothing between and above them

    scene.molecule.atoms.push_back({7, {-1.8, 0.0, 0.0}});  // a blue nitrogen in the red lobe
    const Pixel hidden = at(picture::render(scene, camera, options), 80 - 36, 40);
    EXPECT_EQ(hidden.b, at(opaque, 80 - 36, 40).b);
    options.translucent = true;
    const Pixel seen = at(picture::render(scene, camera, options), 80 - 36, 40);
    EXPECT_GT(seen.b, hidden.b + 40);
}

Image readPng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
    png.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) image.rgb.clear();
    return image;
}

// The bundled molecules' HOMOs at the default level, as a chemist would
// first see them, written as PNGs into the scratch folder (artefacts).
TEST(Renderer, BundledHomosShowShadedRedAndBlueLobesAndSaveAsPng) {
    struct Case {
        const char* name;
        int orbital;
        bool turn;  // water's HOMO stands across its plane: face-on, the red lobe hides the blue one
        std::uint64_t pixels;  // FNV-1a of the RGB bytes: the same with every compiler and machine
    };
    // After a deliberate change of the look, take the new values from the failure message.
    for (const Case& c : {Case{"water", 4, true, 7331088856690073471ull}, Case{"chloromethane", 7, false, 9553104219726748545ull},
                          Case{"perfluorohexadecane", 151, false, 14690044844206178904ull}}) {
        const auto& run = gridorbResult(c.name, c.orbital);
        const double peak = picture::peakFromConsole(run.console);
        const auto volume = picture::readVolumeFile(run.folder + "/VELD.VTK", peak);
        Scene scene;
        scene.molecule = picture::readCoordinateFile(run.folder + "/TARNEL.COR");
        scene.bonds = picture::findBonds(scene.molecule);
        const float level = picture::defaultLevel(peak);
        scene.positive = picture::extractIsosurface(volume, level);
        scene.negative = picture::extractIsosurface(volume, -level);
        RenderOptions options;
        Camera camera = picture::defaultCamera(scene.molecule, volume, picture::ViewAxis::Auto, 4.0 / 3.0, level);
        if (c.turn) picture::rotateByDrag(camera, 400, 300, 400, 150, options.width, options.height);
        const Image image = picture::render(scene, camera, options);

        int red = 0, blue = 0, shadesOfRed = 0;
        std::array<bool, 256> seen{};
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const Pixel p = at(image, x, y);
                red += reddish(p);
                blue += bluish(p);
                if (reddish(p) && !seen[p.r]) seen[p.r] = true, ++shadesOfRed;
            }
        }
        EXPECT_GT(red, 2000) << c.name;
        EXPECT_GT(blue, 2000) << c.name;
        EXPECT_GT(shadesOfRed, 60) << c.name;  // shaded, not flat
        std::uint64_t hash = 14695981039346656037ull;
        for (std::uint8_t byte : image.rgb) hash = (hash ^ byte) * 1099511628211ull;
        EXPECT_EQ(hash, c.pixels) << c.name;

        const std::string path = std::string(PICTURE_SCRATCH) + "/" + c.name + "-homo.png";
        picture::writePng(image, path);
        const Image back = readPng(path);
        EXPECT_EQ(back.width, image.width);
        EXPECT_EQ(back.height, image.height);
        EXPECT_TRUE(back.rgb == image.rgb) << path;
    }
}

TEST(PngFile, AFailureNamesTheFileAndLeavesNothingBehind) {
    const std::string folder = std::string(PICTURE_SCRATCH) + "/png-failure";
    std::filesystem::create_directories(folder);
    Image image{2, 1, {255, 0, 0, 0, 0, 255}};
    const std::string missing = folder + "/no such folder/picture.png";
    try {
        picture::writePng(image, missing);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const picture::WriteError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": cannot be written (No such file or directory)");
    }
    const std::string taken = folder + "/a folder";  // a folder where the picture should go
    std::filesystem::create_directories(taken);
    EXPECT_THROW(picture::writePng(image, taken), picture::WriteError);
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_FALSE(std::filesystem::exists(taken + ".partial"));
}

}  // namespace
