#include "MeshArrays.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace py = pybind11;

namespace tessellor {
namespace python {

namespace {

std::string shapeText(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < array.ndim(); ++d) text += (d ? ", " : "") + std::to_string(array.shape(d));
  return text + (array.ndim() == 1 ? ",)" : ")");
}

std::string dtypeText(const py::array& array) { return py::str(array.dtype()).cast<std::string>(); }

// numpy.asarray: nested lists of numbers become arrays; ragged lists are refused by NumPy itself.
py::array asArray(const py::handle& object, const std::string& name) {
  try {
    return py::module_::import("numpy").attr("asarray")(object);
  } catch (py::error_already_set& error) {
    throw py::value_error(name + " cannot be read as an array: " + py::str(error.value()).cast<std::string>());
  }
}

bool isIntegerKind(char kind) { return kind == 'i' || kind == 'u'; }

// One polygon's ids: trailing -1 entries are padding; ids must fit an int (the range itself is
// checked by prepareMesh, with the vertex count).
void appendPolygon(const std::int64_t* ids, py::ssize_t count, std::size_t p, std::size_t vertexCount,
                   PolygonStorage& mesh) {
  while (count > 0 && ids[count - 1] == -1) --count;
  VertexIDList polygon;
  polygon.reserve(static_cast<std::size_t>(count));
  for (py::ssize_t i = 0; i < count; ++i) {
    if (ids[i] < INT_MIN || ids[i] > INT_MAX)
      throw py::value_error("polygon " + std::to_string(p) + " refers to vertex " + std::to_string(ids[i]) + " of " +
                            std::to_string(vertexCount));
    polygon.push_back(static_cast<int>(ids[i]));
  }
  mesh.Polygons.push_back(std::move(polygon));
}

using IdArray = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

void readVertices(const py::handle& V, PolygonStorage& mesh) {
  const py::array array = asArray(V, "V");
  const char kind = array.dtype().kind();
  if (kind != 'f' && !isIntegerKind(kind)) throw py::type_error("V must hold numbers, not " + dtypeText(array));
  if (array.ndim() != 2 || array.shape(1) != 3)
    throw py::value_error("V must have shape (n, 3), not " + shapeText(array));
  const auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
  if (!values) throw py::error_already_set();
  const auto v = values.unchecked<2>();
  mesh.Vertices.resize(static_cast<std::size_t>(v.shape(0)));
  for (py::ssize_t i = 0; i < v.shape(0); ++i) {
    V3& p = mesh.Vertices[static_cast<std::size_t>(i)].pos;
    p.x = static_cast<float>(v(i, 0));
    p.y = static_cast<float>(v(i, 1));
    p.z = static_cast<float>(v(i, 2));
  }
}

void readPolygonRows(const py::array& array, PolygonStorage& mesh) {
  if (!isIntegerKind(array.dtype().kind())) throw py::type_error("F must hold vertex ids, not " + dtypeText(array));
  if (array.ndim() != 2)
    throw py::value_error("F must be an (m, k) array or a sequence of one-dimensional arrays, not shape " +
                          shapeText(array));
  const IdArray ids = IdArray::ensure(array);
  if (!ids) throw py::error_already_set();
  const py::ssize_t rows = ids.shape(0), columns = ids.shape(1);
  mesh.Polygons.reserve(static_cast<std::size_t>(rows));
  for (py::ssize_t r = 0; r < rows; ++r)
    appendPolygon(ids.data() + r * columns, columns, static_cast<std::size_t>(r), mesh.Vertices.size(), mesh);
}

void readPolygonSequence(const py::sequence& polygons, PolygonStorage& mesh) {
  mesh.Polygons.reserve(polygons.size());
  for (std::size_t p = 0; p < polygons.size(); ++p) {
    const std::string name = "polygon " + std::to_string(p) + " of F";
    const py::array array = asArray(polygons[p], name);
    // An empty list reads as float64; it holds no id of the wrong type.
    if (!isIntegerKind(array.dtype().kind()) && array.size() != 0)
      throw py::type_error(name + " must hold vertex ids, not " + dtypeText(array));
    if (array.ndim() != 1) throw py::value_error(name + " must be one-dimensional, not shape " + shapeText(array));
    const IdArray ids = IdArray::ensure(array);
    if (!ids) throw py::error_already_set();
    appendPolygon(ids.data(), ids.size(), p, mesh.Vertices.size(), mesh);
  }
}

}  // namespace

void meshFromArrays(const py::handle& V, const py::handle& F, PolygonStorage& mesh) {
  readVertices(V, mesh);
  if (py::isinstance<py::list>(F) || py::isinstance<py::tuple>(F)) {
    readPolygonSequence(py::reinterpret_borrow<py::sequence>(F), mesh);
    return;
  }
  const py::array array = asArray(F, "F");
  // A one-dimensional object array is a sequence of polygons (what NumPy makes of ragged lists).
  if (array.dtype().kind() == 'O' && array.ndim() == 1)
    readPolygonSequence(py::reinterpret_borrow<py::sequence>(F), mesh);
  else
    readPolygonRows(array, mesh);
}

py::tuple arraysFromMesh(const PolygonStorage& mesh, std::size_t minWidth) {
  std::size_t polygons = 0, width = minWidth;
  for (const VertexIDList& polygon : mesh.Polygons)
    if (polygon.size() >= 3) {
      ++polygons;
      width = std::max(width, polygon.size());
    }

  py::array_t<double> V({static_cast<py::ssize_t>(mesh.Vertices.size()), py::ssize_t{3}});
  auto v = V.mutable_unchecked<2>();
  for (std::size_t i = 0; i < mesh.Vertices.size(); ++i) {
    const V3 p = mesh.fileCoordinates(mesh.Vertices[i].pos);
    const auto row = static_cast<py::ssize_t>(i);
    v(row, 0) = p.x;
    v(row, 1) = p.y;
    v(row, 2) = p.z;
  }

  py::array_t<std::int64_t> F({static_cast<py::ssize_t>(polygons), static_cast<py::ssize_t>(width)});
  std::int64_t* out = F.mutable_data();
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() < 3) continue;
    std::copy(polygon.begin(), polygon.end(), out);
    std::fill(out + polygon.size(), out + width, std::int64_t{-1});
    out += width;
  }
  return py::make_tuple(V, F);
}

}  // namespace python
}  // namespace tessellor
