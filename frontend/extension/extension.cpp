// The Tcl commands of the front end's picture: `gridorbview::open NAME VELD
// TARNEL` makes the command NAME for one result (replacing an earlier one;
// `rename NAME ""` frees it), whose subcommands set the level, move the
// camera, render into a Tk photo image, save a PNG file and hand out the
// slices. Loaded into wish with `load gridorbview.so`; in a tclsh without Tk
// everything but `render` works.
#include <tcl.h>
#include <tk.h>

#include <exception>
#include <memory>
#include <string>

#include "picture/png_file.h"
#include "picture/renderer.h"
#include "result_view.h"

namespace {

using gridorbview::ResultView;

// A result and whether its interpreter has Tk, which `render` needs.
struct Result {
    ResultView view;
    bool haveTk = false;
};

int fail(Tcl_Interp* interp, const std::string& message) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj(message.c_str(), -1));
    return TCL_ERROR;
}

Tcl_Obj* listOf(const std::array<double, 3>& values) {
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (double v : values) {
        Tcl_ListObjAppendElement(nullptr, list, Tcl_NewDoubleObj(v));
    }
    return list;
}

void put(Tcl_Obj* dict, const char* key, Tcl_Obj* value) {
    Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj(key, -1), value);
}

Tcl_Obj* describe(const ResultView& view) {
    Tcl_Obj* dict = Tcl_NewDictObj();
    Tcl_Obj* dimensions = Tcl_NewListObj(0, nullptr);
    for (int n : view.volume.dimensions) {
        Tcl_ListObjAppendElement(nullptr, dimensions, Tcl_NewIntObj(n));
    }
    put(dict, "dimensions", dimensions);
    put(dict, "origin", listOf(view.volume.origin));
    put(dict, "spacing", listOf(view.volume.spacing));
    put(dict, "atoms", Tcl_NewIntObj(static_cast<int>(view.scene.molecule.atoms.size())));
    put(dict, "largest", Tcl_NewDoubleObj(view.largest));
    return dict;
}

// Picture size from two arguments: 16 to 8192 pixels each way.
bool readSize(Tcl_Interp* interp, Tcl_Obj* const w, Tcl_Obj* const h, int& width, int& height) {
    if (Tcl_GetIntFromObj(interp, w, &width) != TCL_OK || Tcl_GetIntFromObj(interp, h, &height) != TCL_OK) {
        return false;
    }
    if (width < 16 || height < 16 || width > 8192 || height > 8192) {
        fail(interp, "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels is outside 16 to 8192 each way");
        return false;
    }
    return true;
}

int renderInto(Tcl_Interp* interp, const Result& result, const char* photoName, int width, int height,
               int supersample) {
    const ResultView& view = result.view;
    if (!result.haveTk) {
        return fail(interp, "render needs Tk: load the extension into wish");
    }
    Tk_PhotoHandle photo = Tk_FindPhoto(interp, photoName);
    if (photo == nullptr) {
        return fail(interp, std::string("no photo image named \"") + photoName + "\"");
    }
    picture::RenderOptions options;
    options.width = width;
    options.height = height;
    options.supersample = supersample;
    const picture::Image image = picture::render(view.scene, view.camera, options);
    Tk_PhotoImageBlock block{};
    block.pixelPtr = const_cast<unsigned char*>(image.rgb.data());
    block.width = image.width;
    block.height = image.height;
    block.pitch = image.width * 3;
    block.pixelSize = 3;
    block.offset[0] = 0;
    block.offset[1] = 1;
    block.offset[2] = 2;
    block.offset[3] = 3;  // beyond the pixel: no alpha, every pixel opaque
    if (Tk_PhotoSetSize(interp, photo, image.width, image.height) != TCL_OK) {
        return TCL_ERROR;
    }
    return Tk_PhotoPutBlock(interp, photo, &block, 0, 0, image.width, image.height, TK_PHOTO_COMPOSITE_SET);
}

int sliceCommand(Tcl_Interp* interp, const ResultView& view, Tcl_Obj* plane, Tcl_Obj* indexObj) {
    int index = 0;
    if (Tcl_GetIntFromObj(interp, indexObj, &index) != TCL_OK) {
        return TCL_ERROR;
    }
    const auto rows = gridorbview::sliceRows(view.volume, Tcl_GetString(plane), index);
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for (const auto& row : rows) {
        Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
        for (int v : row) {
            Tcl_ListObjAppendElement(nullptr, list, Tcl_NewIntObj(v));
        }
        Tcl_ListObjAppendElement(nullptr, result, list);
    }
    Tcl_SetObjResult(interp, result);
    return TCL_OK;
}

bool readAxis(Tcl_Interp* interp, Tcl_Obj* name, picture::ViewAxis& axis) {
    static const char* const names[] = {"face-on", "x", "y", "z", nullptr};
    static const picture::ViewAxis axes[] = {picture::ViewAxis::Auto, picture::ViewAxis::X, picture::ViewAxis::Y,
                                             picture::ViewAxis::Z};
    int which = 0;
    if (Tcl_GetIndexFromObj(interp, name, names, "view", 0, &which) != TCL_OK) {
        return false;
    }
    axis = axes[which];
    return true;
}

int viewCommand(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
    auto& result = *static_cast<Result*>(data);
    auto& view = result.view;
    static const char* const subcommands[] = {"info", "level", "view", "rotate", "zoom", "pan",
                                              "render", "save", "slice", nullptr};
    enum { Info, Level, View, Rotate, Zoom, Pan, Render, Save, Slice };
    static const int argumentCounts[] = {0, 1, 2, 6, 1, 3, 4, 3, 2};
    static const char* const usages[] = {"", "level", "face-on|x|y|z aspect", "x0 y0 x1 y1 width height",
                                         "factor", "dx dy height", "photo width height supersample",
                                         "path width height", "xy|xz|yz index"};
    int which = 0;
    if (objc < 2) {
        Tcl_WrongNumArgs(interp, 1, objv, "subcommand ?arg ...?");
        return TCL_ERROR;
    }
    if (Tcl_GetIndexFromObj(interp, objv[1], subcommands, "subcommand", 0, &which) != TCL_OK) {
        return TCL_ERROR;
    }
    if (objc != 2 + argumentCounts[which]) {
        Tcl_WrongNumArgs(interp, 2, objv, usages[which]);
        return TCL_ERROR;
    }
    double d[6] = {};
    int width = 0, height = 0;
    try {
        switch (which) {
        case Info:
            Tcl_SetObjResult(interp, describe(view));
            return TCL_OK;
        case Level:
            if (Tcl_GetDoubleFromObj(interp, objv[2], &d[0]) != TCL_OK) {
                return TCL_ERROR;
            }
            if (!(d[0] > 0) || d[0] > 1e30) {
                return fail(interp, "the level must be above 0, not " + std::string(Tcl_GetString(objv[2])));
            }
            gridorbview::setLevel(view, static_cast<float>(d[0]));
            return TCL_OK;
        case View: {
            picture::ViewAxis axis{};
            if (!readAxis(interp, objv[2], axis) || Tcl_GetDoubleFromObj(interp, objv[3], &d[0]) != TCL_OK) {
                return TCL_ERROR;
            }
            gridorbview::standardView(view, axis, d[0] > 0 ? d[0] : 1.0);
            return TCL_OK;
        }
        case Rotate:
            for (int i = 0; i < 4; ++i) {
                if (Tcl_GetDoubleFromObj(interp, objv[2 + i], &d[i]) != TCL_OK) {
                    return TCL_ERROR;
                }
            }
            if (!readSize(interp, objv[6], objv[7], width, height)) {
                return TCL_ERROR;
            }
            picture::rotateByDrag(view.camera, d[0], d[1], d[2], d[3], width, height);
            return TCL_OK;
        case Zoom:
            if (Tcl_GetDoubleFromObj(interp, objv[2], &d[0]) != TCL_OK) {
                return TCL_ERROR;
            }
            if (!(d[0] > 0.01 && d[0] < 100)) {
                return fail(interp, "a zoom factor must lie between 0.01 and 100");
            }
            picture::zoom(view.camera, d[0]);
            return TCL_OK;
        case Pan:
            if (Tcl_GetDoubleFromObj(interp, objv[2], &d[0]) != TCL_OK ||
                Tcl_GetDoubleFromObj(interp, objv[3], &d[1]) != TCL_OK ||
                Tcl_GetIntFromObj(interp, objv[4], &height) != TCL_OK) {
                return TCL_ERROR;
            }
            picture::panByPixels(view.camera, d[0], d[1], height > 0 ? height : 1);
            return TCL_OK;
        case Render: {
            int supersample = 1;
            if (!readSize(interp, objv[3], objv[4], width, height) ||
                Tcl_GetIntFromObj(interp, objv[5], &supersample) != TCL_OK) {
                return TCL_ERROR;
            }
            if (supersample < 1 || supersample > 4) {
                return fail(interp, "supersampling must be 1 to 4 samples each way");
            }
            return renderInto(interp, result, Tcl_GetString(objv[2]), width, height, supersample);
        }
        case Save: {
            if (!readSize(interp, objv[3], objv[4], width, height)) {
                return TCL_ERROR;
            }
            picture::RenderOptions options;
            options.width = width;
            options.height = height;
            picture::writePng(picture::render(view.scene, view.camera, options), Tcl_GetString(objv[2]));
            return TCL_OK;
        }
        case Slice:
            return sliceCommand(interp, view, objv[2], objv[3]);
        }
    } catch (const std::exception& error) {
        return fail(interp, error.what());
    }
    return TCL_OK;
}

void deleteView(ClientData data) {
    delete static_cast<Result*>(data);
}

// gridorbview::open NAME VOLUME COORDINATES: the command NAME for that
// result. A file that cannot be read leaves an earlier NAME as it was.
int openCommand(ClientData haveTk, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
    if (objc != 4) {
        Tcl_WrongNumArgs(interp, 1, objv, "name volumeFile coordinateFile");
        return TCL_ERROR;
    }
    auto result = std::make_unique<Result>();
    result->haveTk = haveTk != nullptr;
    try {
        result->view = gridorbview::loadResult(Tcl_GetString(objv[2]), Tcl_GetString(objv[3]));
    } catch (const std::exception& error) {
        return fail(interp, error.what());
    }
    Tcl_CreateObjCommand(interp, Tcl_GetString(objv[1]), viewCommand, result.release(), deleteView);
    Tcl_SetObjResult(interp, objv[1]);
    return TCL_OK;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int Gridorbview_Init(Tcl_Interp* interp) {
    if (Tcl_InitStubs(interp, "8.6", 0) == nullptr) {
        return TCL_ERROR;
    }
    // Tk is optional: without it (tclsh) the slices and the PNG file still work.
    const bool haveTk = Tcl_PkgPresent(interp, "Tk", "8.6", 0) != nullptr && Tk_InitStubs(interp, "8.6", 0) != nullptr;
    Tcl_ResetResult(interp);
    Tcl_CreateNamespace(interp, "::gridorbview", nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::gridorbview::open", openCommand, haveTk ? interp : nullptr, nullptr);
    return Tcl_PkgProvide(interp, "gridorbview", "1.0");
}
