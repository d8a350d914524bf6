#include "KRZVtuWriter.h"

#include <fstream>
#include <sstream>

namespace {

// The appended block of one piece: every array's bytes behind a UInt32 byte count. The arrays
// are declared in the XML in the usual order but laid out in the block last one first: readers
// that find an array by searching the XML for its offset after rewriting earlier offsets
// (meshio 1.x) then always meet the right one first. VTK and ParaView follow the offsets.
class Appended {
public:
  /// Declares an array; returns its index for Line().
  size_t Array(const char* type, const std::string& name, int components, const void* values,
               size_t bytes) {
    m_Arrays.push_back(
        {type, name, components, std::string(static_cast<const char*>(values), bytes)});
    return m_Arrays.size() - 1;
  }
  /// The DataArray line of array k, once all arrays are declared.
  std::string Line(size_t k) {
    Layout();
    const Entry& e = m_Arrays[k];
    std::ostringstream xml;
    xml << "        <DataArray type=\"" << e.type << "\" Name=\"" << e.name << "\"";
    if (e.components > 1)
      xml << " NumberOfComponents=\"" << e.components << "\"";
    xml << " format=\"appended\" offset=\"" << m_Offsets[k] << "\"/>\n";
    return xml.str();
  }
  const std::string& Data() {
    Layout();
    return m_Data;
  }

private:
  struct Entry {
    std::string type, name;
    int components;
    std::string bytes;
  };
  void Layout() {
    if (!m_Offsets.empty() || m_Arrays.empty())
      return;
    m_Offsets.assign(m_Arrays.size(), 0);
    for (size_t k = m_Arrays.size(); k-- > 0;) {
      m_Offsets[k] = m_Data.size();
      const uint32_t size = static_cast<uint32_t>(m_Arrays[k].bytes.size());
      m_Data.append(reinterpret_cast<const char*>(&size), sizeof size);
      m_Data += m_Arrays[k].bytes;
    }
  }
  std::vector<Entry> m_Arrays;
  std::vector<size_t> m_Offsets;
  std::string m_Data;
};

template <class T> size_t Bytes(const std::vector<T>& v) { return v.size() * sizeof(T); }

std::string Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  return out ? "" : "cannot write " + path;
}

} // namespace

std::string KRZWriteVtu(const std::string& path, const KRZVtuPiece& p) {
  Appended block;
  const size_t points = block.Array("Float64", "Points", 3, p.points.data(), Bytes(p.points));
  std::vector<size_t> cells{
      block.Array("Int32", "connectivity", 1, p.connectivity.data(), Bytes(p.connectivity)),
      block.Array("Int32", "offsets", 1, p.offsets.data(), Bytes(p.offsets)),
      block.Array("UInt8", "types", 1, p.types.data(), Bytes(p.types))};
  std::vector<size_t> cellData;
  for (const auto& [name, values] : p.intFields)
    cellData.push_back(block.Array("Int32", name, 1, values.data(), Bytes(values)));
  for (const auto& [name, values] : p.doubleFields)
    cellData.push_back(block.Array("Float64", name, 1, values.data(), Bytes(values)));

  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n"
      << "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
         "header_type=\"UInt32\">\n  <UnstructuredGrid>\n"
      << "    <Piece NumberOfPoints=\"" << p.points.size() / 3 << "\" NumberOfCells=\""
      << p.types.size() << "\">\n      <Points>\n"
      << block.Line(points) << "      </Points>\n      <Cells>\n";
  for (size_t k : cells)
    xml << block.Line(k);
  xml << "      </Cells>\n      <CellData>\n";
  for (size_t k : cellData)
    xml << block.Line(k);
  xml << "      </CellData>\n    </Piece>\n  </UnstructuredGrid>\n"
      << "  <AppendedData encoding=\"raw\">\n   _" << block.Data()
      << "\n  </AppendedData>\n</VTKFile>\n";
  return Write(path, xml.str());
}

std::string KRZWritePvtu(const std::string& path, const std::vector<std::string>& pieces,
                         const KRZVtuPiece& layout) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n<VTKFile type=\"PUnstructuredGrid\" version=\"1.0\" "
         "byte_order=\"LittleEndian\" header_type=\"UInt32\">\n"
      << "  <PUnstructuredGrid GhostLevel=\"0\">\n    <PPoints>\n"
      << "      <PDataArray type=\"Float64\" Name=\"Points\" NumberOfComponents=\"3\"/>\n"
      << "    </PPoints>\n    <PCellData>\n";
  for (const auto& field : layout.intFields)
    xml << "      <PDataArray type=\"Int32\" Name=\"" << field.first << "\"/>\n";
  for (const auto& field : layout.doubleFields)
    xml << "      <PDataArray type=\"Float64\" Name=\"" << field.first << "\"/>\n";
  xml << "    </PCellData>\n";
  for (const std::string& piece : pieces)
    xml << "    <Piece Source=\"" << piece << "\"/>\n";
  xml << "  </PUnstructuredGrid>\n</VTKFile>\n";
  return Write(path, xml.str());
}

std::string KRZWritePvd(const std::string& path,
                        const std::vector<std::pair<double, std::string>>& steps) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"1.0\" "
         "byte_order=\"LittleEndian\">\n  <Collection>\n";
  for (const auto& [time, file] : steps)
    xml << "    <DataSet timestep=\"" << time << "\" part=\"0\" file=\"" << file << "\"/>\n";
  xml << "  </Collection>\n</VTKFile>\n";
  return Write(path, xml.str());
}
