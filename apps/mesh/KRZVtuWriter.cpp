#include "KRZVtuWriter.h"

#include <fstream>
#include <sstream>

namespace {

// The appended block of one piece: every array's bytes behind a UInt32 byte count, and the XML
// line that points at them.
class Appended {
public:
  std::string Array(const char* type, const std::string& name, int components, const void* values,
                    size_t bytes) {
    std::ostringstream xml;
    xml << "        <DataArray type=\"" << type << "\" Name=\"" << name << "\"";
    if (components > 1)
      xml << " NumberOfComponents=\"" << components << "\"";
    xml << " format=\"appended\" offset=\"" << m_Data.size() << "\"/>\n";
    const uint32_t size = static_cast<uint32_t>(bytes);
    m_Data.append(reinterpret_cast<const char*>(&size), sizeof size);
    m_Data.append(static_cast<const char*>(values), bytes);
    return xml.str();
  }
  const std::string& Data() const { return m_Data; }

private:
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
  const std::string points = block.Array("Float64", "Points", 3, p.points.data(), Bytes(p.points));
  std::string cells =
      block.Array("Int32", "connectivity", 1, p.connectivity.data(), Bytes(p.connectivity));
  cells += block.Array("Int32", "offsets", 1, p.offsets.data(), Bytes(p.offsets));
  cells += block.Array("UInt8", "types", 1, p.types.data(), Bytes(p.types));
  std::string cellData;
  for (const auto& [name, values] : p.intFields)
    cellData += block.Array("Int32", name, 1, values.data(), Bytes(values));
  for (const auto& [name, values] : p.doubleFields)
    cellData += block.Array("Float64", name, 1, values.data(), Bytes(values));

  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n"
      << "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
         "header_type=\"UInt32\">\n  <UnstructuredGrid>\n"
      << "    <Piece NumberOfPoints=\"" << p.points.size() / 3 << "\" NumberOfCells=\""
      << p.types.size() << "\">\n"
      << "      <Points>\n"
      << points << "      </Points>\n      <Cells>\n"
      << cells << "      </Cells>\n      <CellData>\n"
      << cellData << "      </CellData>\n    </Piece>\n  </UnstructuredGrid>\n"
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
