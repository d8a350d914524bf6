// A small writer of ParaView's XML formats: one unstructured-grid piece (.vtu, binary appended
// data), the parallel file that ties the pieces of all ranks (.pvtu), and a collection over steps
// (.pvd). Enough for cells of the four volume kinds, triangles and quadrilaterals, with cell data
// in Int32 and Float64.
#ifndef KRZ_APPS_MESH_KRZVTUWRITER_H
#define KRZ_APPS_MESH_KRZVTUWRITER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct KRZVtuPiece {
  std::vector<double> points;        ///< 3 per point
  std::vector<int32_t> connectivity; ///< 0-based point indices
  std::vector<int32_t> offsets;      ///< end of each cell in `connectivity`
  std::vector<uint8_t> types;        ///< VTK cell type of each cell
  std::vector<std::pair<std::string, std::vector<int32_t>>> intFields;   ///< one value per cell
  std::vector<std::pair<std::string, std::vector<double>>> doubleFields; ///< one value per cell
};

/// Writes `piece` to `path`. Returns "" or the reason it could not.
std::string KRZWriteVtu(const std::string& path, const KRZVtuPiece& piece);
/// Writes the .pvtu naming `pieces` (file names relative to it) with the fields of `layout`.
std::string KRZWritePvtu(const std::string& path, const std::vector<std::string>& pieces,
                         const KRZVtuPiece& layout);
/// Writes the .pvd of (time, file) entries.
std::string KRZWritePvd(const std::string& path,
                        const std::vector<std::pair<double, std::string>>& steps);

#endif
