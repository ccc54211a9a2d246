// Helpers of the model tests: small worlds, the current directory, and an independent reader of model files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "models/WorldData.h"

// Makes `dir` the current directory for the lifetime of the object.
class CurrentDir {
public:
    explicit CurrentDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~CurrentDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

// Appends a model of the given faces (vertex indices) to the world, with fresh vertices given as x,y,z triples.
void AddModel(TWorldData& w, const std::vector<float>& xyz, const std::vector<uint32_t>& faces,
              const std::string& name);

std::string ReadText(const std::string& path);
std::vector<std::string> SplitCrLf(const std::string& text);

// What an independent importer (assimp) finds in a model file.
struct ImportedModel {
    bool ok = false;
    std::string error;
    size_t meshes = 0;
    size_t faces = 0;
    std::vector<Vector3> corners; // positions of every face corner, mesh by mesh, face by face
};
ImportedModel ImportModel(const std::string& path);
