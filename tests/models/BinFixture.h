// A loaded bin file, a world and a recording frontend for the loader and analysis tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "bin/TBinFile.h"
#include "support/GeometryBlocks.h"
#include "models/ModelTestUtil.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "support/TempDir.h"

class BinFixture : public ::testing::Test {
protected:
    void SetUp() override { cwd_ = std::make_unique<CurrentDir>(dir.path()); }
    void TearDown() override { cwd_.reset(); }

    // Writes the blocks (and a terminator) as level.bin in the temporary folder and loads it.
    void Load(std::vector<BinBlockSpec> blocks, const std::string& name = "level.bin", bool terminator = true)
    {
        if (terminator)
            blocks.push_back({0x0FF7C0DE, TerminatorData()});
        WriteFileBytes(dir.file(name), ExpandedBin(blocks));
        ASSERT_TRUE(bin.LoadFromFile(dir.file(name)));
        bin.WorldData = &world;
        ui.memos = {};
        ui.messages.clear();
    }
    std::vector<std::string>& Memo3() { return ui.Lines(MemoId::Memo3); }
    std::vector<std::string>& Memo2() { return ui.Lines(MemoId::Memo2); }
    void AddPack(uint32_t key, std::vector<uint32_t> keys)
    {
        world.Packs.push_back(texturepack{key, static_cast<int32_t>(keys.size()), keys,
                                          std::vector<uint32_t>(keys.size(), 0)});
        world.PackCount = static_cast<int32_t>(world.Packs.size());
    }
    static Matrix4 Identity()
    {
        Matrix4 m;
        MatrixIdentity(m);
        return m;
    }

    TempDir dir;
    MemoryFrontend ui;
    TWorldData world{ui};
    TBinFile bin{ui};

private:
    std::unique_ptr<CurrentDir> cwd_;
};
