// Wavefront OBJ + MTL writer.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "models/FloatFormat.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"
#include "platform/Stream.h"

namespace {

// Text file written through a buffer that grows with what is written, up to kSize; lines end with CR LF. A
// file that fails midway is removed.
class TextFile {
public:
    TextFile(const std::string& path, std::unique_ptr<TFileStream> file) : path_(path), file_(std::move(file)) {}
    ~TextFile()
    {
        if (file_) { // not closed: an error ended the writing
            file_.reset();
            RemoveUnfinished(path_);
        }
    }

    void Text(const char* s, size_t n)
    {
        if (n > kSize) {
            Flush();
            file_->WriteBuffer(s, static_cast<int64_t>(n));
            return;
        }
        Room(n);
        std::memcpy(buf_.get() + used_, s, n);
        used_ += n;
    }
    void Text(const std::string& s) { Text(s.data(), s.size()); }
    void Text(const char* s) { Text(s, std::strlen(s)); }
    void EndLine() { Text("\r\n", 2); }
    void Line(const std::string& s) { Text(s); EndLine(); }
    void Line(const char* s) { Text(s); EndLine(); }
    void Float(float v)
    {
        Room(64);
        used_ += FormatFixed6(buf_.get() + used_, v, 7);
    }
    void UInt(uint64_t v)
    {
        Room(24);
        used_ += PutUInt(buf_.get() + used_, v);
    }
    // "# N what" and a blank line, closing a section.
    void CountLines(uint64_t n, const char* what)
    {
        Text("# ");
        UInt(n);
        Line(what);
        Line("");
    }
    // "v x y z" style line.
    void VectorLine(const char* tag, size_t tagLength, const Vector3& v)
    {
        Text(tag, tagLength);
        Float(v.x);
        Char(' ');
        Float(v.y);
        Char(' ');
        Float(v.z);
        EndLine();
    }
    void Char(char c)
    {
        Room(1);
        buf_[used_++] = c;
    }
    void Close()
    {
        Flush();
        file_->Close();
        file_.reset();
    }

private:
    static constexpr size_t kSize = 1 << 20;
    static constexpr size_t kFirstSize = 4096;
    // At least n (at most kSize) free bytes after used_.
    void Room(size_t n)
    {
        if (cap_ - used_ < n)
            Grow(n);
    }
    // The buffer is written out when it would pass kSize, and doubles (never zero-filled) below it.
    void Grow(size_t n)
    {
        if (used_ + n > kSize)
            Flush();
        if (cap_ - used_ >= n)
            return;
        const size_t size = std::min(kSize, std::max({used_ + n, cap_ * 2, kFirstSize}));
        std::unique_ptr<char[]> bigger(new char[size]);
        if (used_ > 0)
            std::memcpy(bigger.get(), buf_.get(), used_);
        buf_ = std::move(bigger);
        cap_ = size;
    }
    void Flush()
    {
        if (used_ > 0)
            file_->WriteBuffer(buf_.get(), static_cast<int64_t>(used_));
        used_ = 0;
    }

    std::string path_;
    std::unique_ptr<TFileStream> file_;
    std::unique_ptr<char[]> buf_;
    size_t cap_ = 0;
    size_t used_ = 0;
};

std::string MaterialPrefix(uint32_t id) { return id == 0 ? std::string("A") : IntToHex(id, 8); }

} // namespace

std::vector<std::string> TWorldData::ExportModel(const std::string& BaseName, uint32_t Id,
                                                 const std::string& binFileName, const TFileIds& Inputs)
{
    switch (UI.Option(OptionId::ModelFormat)) {
    case 0:
        return ExportOBJ(BaseName, Id, binFileName, Inputs);
    case 1:
        return Export3DS(BaseName, binFileName, Inputs);
    default:
        return {};
    }
}

std::vector<std::string> TWorldData::ExportOBJ(const std::string& BaseName, uint32_t Id,
                                               const std::string& binFileName, const TFileIds& Inputs)
{
    std::vector<std::string> refused;
    std::string prefix = "M";
    prefix += MaterialPrefix(Id);
    prefix += '_';
    const uint32_t models = std::min(ModelCount, static_cast<uint32_t>(Models.size()));
    const uint32_t vertices =
        std::min({VertexCount, static_cast<uint32_t>(Vertices.size()), static_cast<uint32_t>(Normals.size())});
    auto faceCount = [](const model& m) {
        return std::min(m.Triangles.size(), static_cast<size_t>(std::max(m.TriangleCount, 0)));
    };

    // The OBJ file names its MTL file, which lies beside it, by the file name under which it is written, so the
    // reference resolves also where a name was confined to its folder.
    const std::string mtlPath = NamedOutputPath(BaseName + ".mtl", binFileName);
    const std::string mtlName = std::filesystem::path(mtlPath).filename().string();
    if (auto file = CreateOutputFile(mtlPath, Inputs, false)) {
        TextFile mtl(mtlPath, std::move(file));
        mtl.Line("#");
        mtl.Line("# " + mtlName);
        mtl.Line("#");
        mtl.Line("");
        for (uint32_t i = 0; i < models; ++i) {
            mtl.Text("newmtl " + prefix);
            mtl.UInt(i);
            mtl.EndLine();
            mtl.Line("Ka 1.000000 1.000000 1.000000");
            mtl.Line("Kd 1.000000 1.000000 1.000000");
            mtl.Line("Ks 0.000000 0.000000 0.000000");
            mtl.Line("Ns 0.000000");
            // A model whose pack or slot does not exist has no texture: no map line.
            const std::string tex = TextureFileName(Models[i], binFileName);
            if (!tex.empty())
                mtl.Line("map_Kd .\\" + tex);
            mtl.Line("");
        }
        mtl.Close();
    } else {
        LogWouldReplace(UI, mtlPath);
        refused.push_back(mtlPath);
    }

    const std::string objPath = NamedOutputPath(BaseName + ".obj", binFileName);
    std::unique_ptr<TFileStream> objFile = CreateOutputFile(objPath, Inputs, false);
    if (!objFile) {
        LogWouldReplace(UI, objPath);
        refused.push_back(objPath);
        return refused;
    }
    TextFile obj(objPath, std::move(objFile));
    obj.Line("# Wavefront model exported by Tarvesh Mox");
    obj.Line("mtllib " + mtlName);
    obj.Line("");

    for (uint32_t i = 0; i < vertices; ++i)
        obj.VectorLine("v ", 2, Vertices[i]);
    obj.CountLines(VertexCount, " vertices");

    uint64_t running = 0;
    for (uint32_t i = 0; i < models; ++i) {
        model& m = Models[i];
        m.FirstTriangle = static_cast<int32_t>(running);
        const size_t faces = faceCount(m);
        for (size_t t = 0; t < faces; ++t) {
            const triangle& tr = m.Triangles[t];
            for (int k = 0; k < 3; ++k) {
                obj.Text("vt ", 3);
                obj.Float(tr.TexCoord[k].u);
                obj.Char(' ');
                obj.Float(tr.TexCoord[k].v);
                obj.EndLine();
            }
        }
        running += faces;
    }
    obj.CountLines(running * 3, " texture coordinates");

    for (uint32_t i = 0; i < vertices; ++i)
        obj.VectorLine("vn ", 3, Normals[i]);
    obj.CountLines(VertexCount, " normals");

    uint64_t total = 0;
    for (uint32_t i = 0; i < models; ++i) {
        const model& m = Models[i];
        obj.Line("");
        obj.Line("g " + m.Name);
        obj.Text("usemtl " + prefix);
        obj.UInt(i);
        obj.EndLine();
        obj.Line("s 1");
        const size_t faces = faceCount(m);
        const uint64_t first = static_cast<uint64_t>(m.FirstTriangle);
        for (size_t t = 0; t < faces; ++t) {
            const triangle& tr = m.Triangles[t];
            obj.Char('f');
            for (int k = 0; k < 3; ++k) {
                const uint64_t vi = static_cast<uint64_t>(tr.VertexIndex[k]) + 1;
                obj.Char(' ');
                obj.UInt(vi);
                obj.Char('/');
                obj.UInt((first + t) * 3 + static_cast<uint64_t>(k) + 1);
                obj.Char('/');
                obj.UInt(vi);
            }
            obj.EndLine();
        }
        obj.Text("# ");
        obj.UInt(static_cast<uint64_t>(std::max(m.TriangleCount, 0)));
        obj.Line(" triangles in group");
        total += static_cast<uint64_t>(std::max(m.TriangleCount, 0));
    }
    obj.CountLines(total, " triangles total");
    obj.Close();
    return refused;
}
