#include "models/ModelTestUtil.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fstream>
#include <sstream>

void AddModel(TWorldData& w, const std::vector<float>& xyz, const std::vector<uint32_t>& faces,
              const std::string& name)
{
    const uint32_t base = w.VertexCount;
    for (size_t i = 0; i + 2 < xyz.size(); i += 3)
        w.Vertices.push_back(Vector3Make(xyz[i], xyz[i + 1], xyz[i + 2]));
    w.VertexCount = static_cast<uint32_t>(w.Vertices.size());
    w.Normals.resize(w.VertexCount);
    model m;
    m.Name = name;
    m.TriangleCount = static_cast<int32_t>(faces.size() / 3);
    for (size_t f = 0; f + 2 < faces.size(); f += 3) {
        triangle t;
        for (int k = 0; k < 3; ++k)
            t.VertexIndex[k] = base + faces[f + static_cast<size_t>(k)];
        m.Triangles.push_back(t);
    }
    w.Models.push_back(m);
    w.ModelCount = static_cast<uint32_t>(w.Models.size());
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t e = text.find("\r\n", pos);
        if (e == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    return lines;
}

ImportedModel ImportModel(const std::string& path)
{
    ImportedModel r;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    if (!scene) {
        r.error = importer.GetErrorString();
        return r;
    }
    r.ok = true;
    r.meshes = scene->mNumMeshes;
    // Meshes are visited through the node tree so that node transforms (3DS pivots) can be applied.
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[i];
        r.faces += mesh->mNumFaces;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f)
            for (unsigned k = 0; k < mesh->mFaces[f].mNumIndices; ++k) {
                const aiVector3D& p = mesh->mVertices[mesh->mFaces[f].mIndices[k]];
                r.corners.push_back(Vector3Make(p.x, p.y, p.z));
            }
    }
    return r;
}
