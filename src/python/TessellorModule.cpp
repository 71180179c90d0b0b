// The Python module "tessellor": a thin front-end over tessellor/Tessellor.h. It converts arrays,
// checks arguments, releases the GIL around the library's work and turns its errors into
// Python exceptions; everything else is the library's.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <climits>
#include <cmath>
#include <exception>
#include <string>

#include "MeshArrays.h"
#include "tessellor/Tessellor.h"

namespace py = pybind11;
using namespace tessellor;

namespace {

const char* ModuleDoc = R"(Quad-dominant remeshing through a volume.

Meshes are NumPy arrays:

V  (n, 3) floating-point array of vertex positions (float64 or float32; integers are accepted).
   The library computes in 32-bit floats; V returned by read() and remesh() is float64 holding
   exactly the 32-bit values that the mesh files get.
F  the polygons as vertex ids (0-based), counter-clockwise seen from outside, either
   - an (m, k) integer array: every row one polygon; trailing -1 entries are padding, so
     triangles and quads can share one array, or
   - a sequence (list, tuple) of one-dimensional integer arrays, one per polygon, of any length.
   F returned by read() and remesh() is one (m, k) int64 array, k the largest corner count
   (remesh: at least 4), shorter polygons padded with -1: remesh() gives quads and the odd
   triangle as rows [a, b, c, d] and [a, b, c, -1]. remesh() returns the mesh the command line
   writes: no emptied polygons, no unused vertices (raw=True: every vertex as made); read()
   keeps every vertex of the file, so its ids are the file's.

read(), write(), remesh() and quality() release the GIL while the library works, so threads run
them in parallel. Bad arguments raise TypeError or ValueError; unreadable or malformed files, files that
cannot be written and meshes the pipeline cannot process raise tessellor.Error.
)";

const char* ErrorDoc = R"(A file that cannot be read or written, or work the pipeline cannot do.

Attributes: file (the path, or None), line (1-based line of a text file, or None), byte (offset
in a binary file, or None). str(error) is the library's one-line message.)";

// tessellor.Error, created once at import; the module holds it for the life of the interpreter.
PyObject* ErrorType = nullptr;

void raiseError(const std::string& message, py::object file, py::object line, py::object byte) {
  py::object error = py::reinterpret_borrow<py::object>(ErrorType)(message);
  error.attr("file") = std::move(file);
  error.attr("line") = std::move(line);
  error.attr("byte") = std::move(byte);
  PyErr_SetObject(ErrorType, error.ptr());
}

void translateErrors(std::exception_ptr pending) {
  try {
    if (pending) std::rethrow_exception(pending);
  } catch (const FileError& error) {
    const py::object at = py::int_(error.At);
    raiseError(error.what(), py::str(error.File), error.Position == FileError::Where::Line ? at : py::none(),
               error.Position == FileError::Where::Byte ? at : py::none());
  } catch (const TessellorError& error) {
    raiseError(error.what(), py::none(), py::none(), py::none());
  }
}

// str or os.PathLike.
std::string pathOf(const py::object& path) {
  return py::module_::import("os").attr("fspath")(path).cast<std::string>();
}

// Indices, normals and box of a mesh built from arrays; its refusals are bad arguments.
void prepare(PolygonStorage& mesh) {
  try {
    prepareMesh(mesh);
  } catch (const ProcessingError& error) {
    throw py::value_error(error.what());
  }
}

long long integerArgument(const py::object& value, const char* name, long long min, long long max) {
  if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
    throw py::type_error(std::string(name) + " must be an int or None");
  const long long number = value.cast<long long>();
  if (number < min || number > max)
    throw py::value_error(std::string(name) + " must be from " + std::to_string(min) + " to " + std::to_string(max) +
                          ", not " + std::to_string(number));
  return number;
}

double numberArgument(const py::object& value, const char* name, double min, double max) {
  if (!(py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value)) || py::isinstance<py::bool_>(value))
    throw py::type_error(std::string(name) + " must be a number or None");
  const double number = value.cast<double>();
  if (!(number >= min && number <= max))
    throw py::value_error(std::string(name) + " must be a number from " + std::to_string(min) + " to " +
                          std::to_string(max));
  return number;
}

RemeshOptions remeshOptions(const py::object& maxVoxels, const py::object& elementSize, const py::object& targetFaces,
                            const std::string& mode, bool features, double psi) {
  RemeshOptions options;
  if (!maxVoxels.is_none() + !elementSize.is_none() + !targetFaces.is_none() > 1)
    throw py::value_error("give only one of max_voxels, element_size and target_faces");
  if (!maxVoxels.is_none()) options.maxVoxels = static_cast<int>(integerArgument(maxVoxels, "max_voxels", 1, INT_MAX));
  if (!elementSize.is_none()) options.elementSize = numberArgument(elementSize, "element_size", 1e-30, 1e30);
  if (!targetFaces.is_none()) options.targetFaces = integerArgument(targetFaces, "target_faces", 1, 1000000000000LL);
  if (!voxelizationModeFromName(mode, options.mode))
    throw py::value_error("unknown mode '" + mode + "' (classic, exact or robust)");
  options.detectSharpFeatures = features;
  if (!std::isfinite(psi)) throw py::value_error("psi must be a finite number");
  options.thresholdPsi = static_cast<float>(psi);
  return options;
}

py::tuple readArrays(const py::object& path) {
  const std::string file = pathOf(path);
  PolygonStorage mesh;
  {
    py::gil_scoped_release release;
    readMesh(file, mesh);
  }
  return python::arraysFromMesh(mesh, 3);
}

void writeArrays(const py::object& path, const py::handle& V, const py::handle& F, const py::object& format, bool raw) {
  const std::string file = pathOf(path);
  MeshFormat meshFormat;
  if (!format.is_none()) {
    const std::string name = format.cast<std::string>();
    if (!meshFormatFromName(name, meshFormat)) throw py::value_error("unknown format '" + name + "'");
  } else if (!meshFormatFromPath(file, meshFormat)) {
    throw py::value_error("cannot tell the format of '" + file + "' from its extension; give format=");
  }
  PolygonStorage mesh;
  python::meshFromArrays(V, F, mesh);
  WriteOptions options;
  options.fullPrecision = !raw;
  py::gil_scoped_release release;
  prepare(mesh);
  writeMesh(file, mesh, meshFormat, options);
}

py::tuple remeshArrays(const py::handle& V, const py::handle& F, const py::object& maxVoxels,
                       const py::object& elementSize, const py::object& targetFaces, const std::string& mode,
                       bool features, double psi, bool raw) {
  const RemeshOptions options = remeshOptions(maxVoxels, elementSize, targetFaces, mode, features, psi);
  PolygonStorage input, output;
  python::meshFromArrays(V, F, input);
  {
    py::gil_scoped_release release;
    prepare(input);
    tessellor::remesh(input, output, options);
    // What the command line writes unless --raw.
    if (!raw) cleanMesh(output);
  }
  return python::arraysFromMesh(output, 4);
}

py::dict qualityOf(const py::handle& V, const py::handle& F, const py::object& reference) {
  PolygonStorage mesh, referenceMesh;
  python::meshFromArrays(V, F, mesh);
  const bool withReference = !reference.is_none();
  if (withReference) {
    if (!py::isinstance<py::tuple>(reference) || py::len(reference) != 2)
      throw py::type_error("reference must be a tuple (V, F) or None");
    const py::tuple pair = py::reinterpret_borrow<py::tuple>(reference);
    python::meshFromArrays(pair[0], pair[1], referenceMesh);
  }
  std::string json;
  {
    py::gil_scoped_release release;
    prepare(mesh);
    if (withReference) prepare(referenceMesh);
    json = formatQualityJson(measureMeshQuality(mesh, withReference ? &referenceMesh : nullptr));
  }
  return py::module_::import("json").attr("loads")(json);
}

}  // namespace

PYBIND11_MODULE(tessellor, m) {
  m.doc() = ModuleDoc;
  m.attr("__version__") = version();

  py::dict attributes;
  attributes["file"] = py::none();
  attributes["line"] = py::none();
  attributes["byte"] = py::none();
  ErrorType = PyErr_NewExceptionWithDoc("tessellor.Error", ErrorDoc, PyExc_RuntimeError, attributes.ptr());
  if (!ErrorType) throw py::error_already_set();
  m.attr("Error") = py::reinterpret_borrow<py::object>(ErrorType);
  py::register_exception_translator(&translateErrors);

  m.def("read", &readArrays, py::arg("path"),
        "read(path) -> (V, F)\n\nReads a mesh file as it stands (file coordinates). Raises tessellor.Error for a "
        "file that cannot be read or is malformed, naming the file and the line or byte.");
  m.def("write", &writeArrays, py::arg("path"), py::arg("V"), py::arg("F"), py::kw_only(),
        py::arg("format") = py::none(), py::arg("raw") = false,
        "write(path, V, F, *, format=None, raw=False)\n\nWrites a mesh; the writer is format ('ply', 'obj', 'pc', "
        "'inp', 'bdf') or the path's extension. Coordinates are written so that they read back as the same 32-bit "
        "floats; raw=True uses the specified number formats instead. An existing file is replaced only by a "
        "complete one.");
  m.def("remesh", &remeshArrays, py::arg("V"), py::arg("F"), py::kw_only(), py::arg("max_voxels") = py::none(),
        py::arg("element_size") = py::none(), py::arg("target_faces") = py::none(), py::arg("mode") = "robust",
        py::arg("features") = false, py::arg("psi") = 0.3, py::arg("raw") = false,
        "remesh(V, F, *, max_voxels=None, element_size=None, target_faces=None, mode='robust', features=False, "
        "psi=0.3, raw=False) -> (V, F)\n\nThe whole pipeline, as 'tessellor-cli remesh' runs it with the same "
        "options: the mesh is fitted and voxelized within a voxel budget (max_voxels, default 100000, or the one "
        "that gives output edges of about element_size in the units of V, or about target_faces polygons; at most "
        "one of the three), optionally marked with its sharp features (features, threshold psi on |cos| between "
        "face normals), extracted and rebuilt as a quad-dominant mesh in the coordinates of V, and cleaned of "
        "degenerate elements unless raw. Releases the GIL.");
  m.def("quality", &qualityOf, py::arg("V"), py::arg("F"), py::arg("reference") = py::none(),
        "quality(V, F, reference=None) -> dict\n\nThe quality report of a mesh, as 'tessellor-cli quality --json' "
        "gives it: counts, polygons by corners, quad_share, edges (open, non-manifold), components, closed, "
        "orientation, Euler characteristic, genus, valences, and the shape measures of quads and triangles. With "
        "reference=(V, F), also distance_to_reference and distance_from_reference (mean, max). Releases the GIL.");
}
